// DirectInput over the keys the driver reports: keyboard devices with a
// bounded event buffer that lose their acquisition when their window leaves
// the foreground.
#include "platform/dinput.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <deque>
#include <memory>
#include <vector>

#include "platform/core/internal.h"

namespace {

using namespace plat;
using core::Call;
using core::detail::Note;
using core::detail::ShouldFail;

constexpr HRESULT kBadHandle = static_cast<HRESULT>(0x80070006u);
constexpr HRESULT kUnsupported = static_cast<HRESULT>(0x80004001u);
constexpr GUID kGuidKey{0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};

constexpr std::array<DIOBJECTDATAFORMAT, 256> MakeKeyObjects() {
  std::array<DIOBJECTDATAFORMAT, 256> objects{};
  for (uint32_t i = 0; i < 256; ++i) objects[i] = {&kGuidKey, i, 0x80000000u | 0x0C | (i << 8), 0};
  return objects;
}
constexpr std::array<DIOBJECTDATAFORMAT, 256> kKeyObjects = MakeKeyObjects();

class EmulatedKeyboard final : public IDirectInputDevice {
 public:
  ~EmulatedKeyboard() = default;

  uint32_t Release() override {
    if (refs == 0) return 0;
    if (--refs == 0) {
      acquired = false;
      buffer.clear();
      Note("Release keyboard");
    }
    return refs;
  }

  HRESULT SetDataFormat(const DIDATAFORMAT* f) override {
    if (ShouldFail(Call::SetDataFormat)) return DIERR_INVALIDPARAM;
    if (acquired) return DIERR_ACQUIRED;
    if (!f || f->dwSize != sizeof(DIDATAFORMAT) || f->dwObjSize != sizeof(DIOBJECTDATAFORMAT) ||
        f->dwDataSize != 256 || f->dwNumObjs != 256 || !f->rgodf)
      return DIERR_INVALIDPARAM;
    for (uint32_t i = 0; i < 256; ++i)
      if (f->rgodf[i].dwOfs != i) return DIERR_INVALIDPARAM;
    formatSet = true;
    Note("SetDataFormat keyboard");
    return DI_OK;
  }

  HRESULT SetCooperativeLevel(HWND w, uint32_t flags) override {
    if (ShouldFail(Call::KeyboardCooperativeLevel)) return DIERR_INVALIDPARAM;
    if (acquired) return DIERR_ACQUIRED;
    if (!w || !core::detail::IsTopLevel(w)) return kBadHandle;
    const bool exclusive = flags & DISCL_EXCLUSIVE, shared = flags & DISCL_NONEXCLUSIVE;
    const bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
    if (exclusive == shared || foreground == background) return DIERR_INVALIDPARAM;
    // Windows keeps the keyboard for itself in the background.
    if (exclusive && background) return DIERR_INVALIDPARAM;
    window = w;
    foregroundOnly = foreground;
    Note("SetCooperativeLevel keyboard " + Hex(flags));
    return DI_OK;
  }

  HRESULT SetProperty(DIPROPERTY property, const DIPROPHEADER* header) override {
    if (ShouldFail(Call::SetProperty)) return DIERR_INVALIDPARAM;
    if (!header) return DIERR_INVALIDPARAM;
    if (property != DIPROP_BUFFERSIZE) return kUnsupported;
    if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHeaderSize != sizeof(DIPROPHEADER) ||
        header->dwHow != DIPH_DEVICE || header->dwObj != 0)
      return DIERR_INVALIDPARAM;
    if (acquired) return DIERR_ACQUIRED;
    bufferSize = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
    Note("SetProperty buffer size " + std::to_string(bufferSize));
    return DI_OK;
  }

  HRESULT Acquire() override {
    if (ShouldFail(Call::Acquire)) return DIERR_OTHERAPPHASPRIO;
    if (!formatSet) return DIERR_INVALIDPARAM;
    if (acquired) return DI_NOEFFECT;
    if (foregroundOnly && (!window || core::detail::ForegroundWindow() != window))
      return DIERR_OTHERAPPHASPRIO;
    acquired = true;
    lostPending = false;
    Note("Acquire keyboard");
    return DI_OK;
  }

  HRESULT Unacquire() override {
    Note("Unacquire keyboard");
    if (!acquired) return DI_NOEFFECT;
    acquired = false;
    buffer.clear();
    overflow = false;
    return DI_OK;
  }

  HRESULT GetDeviceData(uint32_t recordSize, DIDEVICEOBJECTDATA* records, uint32_t* count,
                        uint32_t flags) override {
    if (!count || recordSize != sizeof(DIDEVICEOBJECTDATA)) return DIERR_INVALIDPARAM;
    const uint32_t room = *count;
    *count = 0;
    if (lostPending) {
      lostPending = false;
      return DIERR_INPUTLOST;
    }
    if (!acquired) return DIERR_NOTACQUIRED;
    if (bufferSize == 0) return DIERR_NOTBUFFERED;
    const auto n = static_cast<uint32_t>(std::min<size_t>(room, buffer.size()));
    if (records) std::copy(buffer.begin(), buffer.begin() + n, records);
    const bool lost = overflow;
    if (!(flags & DIGDD_PEEK)) {
      buffer.erase(buffer.begin(), buffer.begin() + n);
      overflow = false;
    }
    *count = n;
    return lost ? DI_BUFFEROVERFLOW : DI_OK;
  }

  void Event(uint8_t scanCode, bool down) {
    if (!acquired || refs == 0) return;
    if (buffer.size() >= bufferSize) {
      overflow = true;
      return;
    }
    buffer.push_back({scanCode, down ? 0x80u : 0u, core::detail::Now(), ++sequence});
  }

  void ForegroundIs(HWND foreground) {
    if (!acquired || !foregroundOnly || foreground == window) return;
    acquired = false;
    lostPending = true;
    buffer.clear();
    overflow = false;
    Note("keyboard lost");
  }

  uint32_t refs = 1;

 private:
  bool formatSet = false;
  bool foregroundOnly = false;
  bool acquired = false;
  bool lostPending = false;
  bool overflow = false;
  HWND window = nullptr;
  uint32_t bufferSize = 0;
  uint32_t sequence = 0;
  std::deque<DIDEVICEOBJECTDATA> buffer;
};

class EmulatedDirectInput final : public IDirectInput {
 public:
  ~EmulatedDirectInput() = default;
  uint32_t Release() override {
    if (refs == 0) return 0;
    if (--refs == 0) Note("Release DirectInput");
    return refs;
  }
  HRESULT CreateDevice(const GUID& device, IDirectInputDevice** out, void*) override;
  uint32_t refs = 1;
};

struct InputState {
  std::vector<std::unique_ptr<EmulatedDirectInput>> objects;
  std::vector<std::unique_ptr<EmulatedKeyboard>> keyboards;
};

InputState& State() {
  static InputState state;
  return state;
}

HRESULT EmulatedDirectInput::CreateDevice(const GUID& device, IDirectInputDevice** out, void*) {
  if (!out) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (ShouldFail(Call::CreateDevice)) return DIERR_DEVICENOTREG;
  if (refs == 0) return DIERR_GENERIC;
  if (!(device == GUID_SysKeyboard)) return DIERR_DEVICENOTREG;  // only a keyboard here
  auto keyboard = std::make_unique<EmulatedKeyboard>();
  *out = keyboard.get();
  State().keyboards.push_back(std::move(keyboard));
  Note("CreateDevice keyboard");
  return DI_OK;
}

}  // namespace

namespace plat {

const DIDATAFORMAT c_dfDIKeyboard = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0x2, 256, 256, kKeyObjects.data()};

HRESULT DirectInputCreateA(HINSTANCE instance, uint32_t version, IDirectInput** out, void*) {
  if (!out) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (ShouldFail(Call::DirectInputCreate)) return DIERR_GENERIC;
  if (!instance) return DIERR_INVALIDPARAM;
  if (version > DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
  if (version < 0x0300) return DIERR_BETADIRECTINPUTVERSION;
  auto object = std::make_unique<EmulatedDirectInput>();
  *out = object.get();
  State().objects.push_back(std::move(object));
  Note("DirectInputCreate " + Hex(version));
  return DI_OK;
}

}  // namespace plat

namespace plat::core::detail {

void KeyboardEvent(uint8_t scanCode, bool down) {
  for (auto& k : State().keyboards) k->Event(scanCode, down);
}

void KeyboardForegroundChanged(HWND foreground) {
  for (auto& k : State().keyboards) k->ForegroundIs(foreground);
}

void ResetInput() { State() = InputState{}; }

}  // namespace plat::core::detail
