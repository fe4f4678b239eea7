#include "app/keyboard.h"

#include <string>

#include "app/ddapp.h"
#include "platform/hex.h"

using namespace plat;

namespace {

// A device that keeps reporting a lost input right after each successful
// acquisition must not hold the loop.
constexpr int kMaxReacquires = 8;

bool Failed(HRESULT hr, const char* what) {
  if (hr == DI_OK) return false;
  NoteStartupFailure(std::string(what) + " (" + Hex(static_cast<uint32_t>(hr), 8) + ")");
  return true;
}

}  // namespace

int32_t CreateKeyboard(HINSTANCE instance, HWND window) {
  if (Failed(DirectInputCreateA(instance, DIRECTINPUT_VERSION, &dinput, nullptr),
             "cannot open DirectInput (DirectInputCreateA)")) {
    dinput = nullptr;
    return 0;
  }
  if (Failed(dinput->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr),
             "no system keyboard (CreateDevice)")) {
    keyboard = nullptr;
    return 0;
  }
  if (Failed(keyboard->SetDataFormat(&c_dfDIKeyboard), "keyboard data format refused")) return 0;
  if (Failed(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
             "keyboard cooperative level refused"))
    return 0;
  DIPROPDWORD property{};
  property.diph.dwSize = sizeof(DIPROPDWORD);
  property.diph.dwHeaderSize = sizeof(DIPROPHEADER);
  property.diph.dwObj = 0;
  property.diph.dwHow = DIPH_DEVICE;
  property.dwData = kKeyBufferSize;
  if (Failed(keyboard->SetProperty(DIPROP_BUFFERSIZE, &property.diph),
             "keyboard buffer size refused"))
    return 0;
  keyboard->Acquire();
  return 1;
}

void ReleaseKeyboard() {
  if (keyboard) {
    keyboard->Unacquire();
    keyboard->Release();
    keyboard = nullptr;
  }
  if (dinput) {
    dinput->Release();
    dinput = nullptr;
  }
}

void PollKeyboard() {
  if (!keyboard || !theApp) return;
  DWORD count = kKeyBufferSize;
  HRESULT hr = keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), keyBuffer, &count, 0);
  for (int attempt = 0; hr == DIERR_INPUTLOST; ++attempt) {
    if (attempt == kMaxReacquires || keyboard->Acquire() < 0) return;
    count = kKeyBufferSize;
    hr = keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), keyBuffer, &count, 0);
  }
  // DI_BUFFEROVERFLOW is a success code, but events are missing: drop it all.
  if (hr != DI_OK) return;
  if (count > kKeyBufferSize) count = kKeyBufferSize;
  for (uint32_t i = 0; i < count; ++i) {
    const KeyEvent event{1, static_cast<int32_t>(keyBuffer[i].dwTimeStamp), KeyCode(keyBuffer[i])};
    theApp->OnKeyEvent(&event);
  }
}
