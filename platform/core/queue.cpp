// USER32's message queue over memory: one thread's queue, posting, taking
// (with the cursor question Windows asks as mouse input is taken), the
// characters of key messages, dispatch, and the accelerator tables that turn
// keys into commands.
#include <algorithm>
#include <iterator>

#include "platform/core/internal.h"
#include "platform/dinput.h"

namespace plat::core::detail {

void PostInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam, POINT pt) {
  if (!Live(window)) return;
  Windows().queue.push_back({window, message, wParam, lParam, Now(), pt});
}

}  // namespace plat::core::detail

namespace {

using namespace plat;
using namespace plat::core::detail;

bool IsMouseMessage(UINT m) {
  return (m >= WM_MOUSEMOVE && m <= 0x020E) || (m >= WM_NCMOUSEMOVE && m <= 0x00A9);
}

bool Matches(const MSG& m, HWND window, UINT first, UINT last) {
  if (window && m.hwnd != window) return false;
  if (first == 0 && last == 0) return true;
  return m.message >= first && m.message <= last;
}

// The character a key gives, for WM_CHAR; 0 for none.
char CharacterOf(uint16_t vk, bool shift) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<char>(shift ? vk : std::tolower(vk));
  if (vk >= '0' && vk <= '9') return static_cast<char>(vk);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return static_cast<char>('0' + (vk - VK_NUMPAD0));
  switch (vk) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return '\r';
    case VK_ESCAPE: return 0x1B;
    case VK_BACK: return 0x08;
    case VK_TAB: return 0x09;
    default: return 0;
  }
}

// Modifiers count as they were when the key message being handled was
// made, as GetKeyState has it, not as they are now.
void TookKeyMessage(const MSG& m) {
  if (m.message < WM_KEYDOWN || m.message > WM_SYSKEYUP || m.message == WM_CHAR) return;
  const auto lp = static_cast<uint32_t>(m.lParam);
  const auto scan = static_cast<uint8_t>(((lp >> 16) & 0x7F) | ((lp >> 24) & 1 ? 0x80 : 0));
  Windows().messageKeys[scan] = !(lp & (1u << 31));
}

bool Held(const bool* keys, uint8_t left, uint8_t right) { return keys[left] || keys[right]; }

}  // namespace

namespace plat {

BOOL PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove) {
  if (!msg) return 0;
  WindowState& s = Windows();
  for (int attempt = 0; attempt < 2; ++attempt) {
    for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
      if (!Matches(*it, window, first, last)) continue;
      *msg = *it;
      if (remove & PM_REMOVE) {
        s.queue.erase(it);
        TookKeyMessage(*msg);
        // Windows asks which cursor to show as mouse input is taken.
        if (IsMouseMessage(msg->message) && Live(msg->hwnd)) {
          const bool nonClient = msg->message >= WM_NCMOUSEMOVE && msg->message <= 0x00A9;
          const LPARAM hit = nonClient ? static_cast<LPARAM>(msg->wParam) : HTCLIENT;
          SendMessageA(msg->hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(msg->hwnd),
                       MakeLParam(static_cast<int32_t>(hit), static_cast<int32_t>(msg->message)));
        }
      }
      return 1;
    }
    // WM_QUIT comes once nothing else is waiting.
    if (s.quitPosted && !window && (first == 0 || (first <= WM_QUIT && WM_QUIT <= last))) {
      *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(s.quitCode), 0, Now(), s.mouse};
      if (remove & PM_REMOVE) s.quitPosted = false;
      return 1;
    }
    if (attempt == 0 && !core::TheDriver().Poll()) break;
  }
  core::TheDriver().EmptyTurn();
  return 0;
}

BOOL WaitMessage() {
  WindowState& s = Windows();
  if (s.queue.empty() && !s.quitPosted) core::TheDriver().Wait();
  return 1;
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return 0;
  WindowState& s = Windows();
  const bool shift = Held(s.messageKeys, DIK_LSHIFT, DIK_RSHIFT);
  const bool control = Held(s.messageKeys, DIK_LCONTROL, DIK_RCONTROL);
  const char c = CharacterOf(static_cast<uint16_t>(msg->wParam), shift);
  // The character comes next, before anything queued after the key.
  if (c && !control && Live(msg->hwnd))
    s.queue.push_front({msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR,
                        static_cast<WPARAM>(static_cast<unsigned char>(c)), msg->lParam, msg->time,
                        msg->pt});
  return 1;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !Live(msg->hwnd)) return 0;
  return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !Live(window)) return 0;
  Windows().queue.push_back({window, message, wParam, lParam, Now(), Windows().mouse});
  return 1;
}

void PostQuitMessage(int32_t exitCode) {
  Windows().quitPosted = true;
  Windows().quitCode = exitCode;
  Note("PostQuitMessage " + std::to_string(exitCode));
}

HACCEL LoadAcceleratorsA(HINSTANCE instance, const char* name) {
  if (!ModuleInstance(instance)) return nullptr;
  const ResourceModule& r = Resources();
  const AccelResource* table = FindNamedResource(r.accelerators, r.accelCount, name);
  if (!table) return nullptr;
  auto object = std::make_unique<AccelObject>();
  object->entries.assign(table->entries, table->entries + table->count);
  HACCEL h = object.get();
  Windows().accels.push_back(std::move(object));
  return h;
}

int32_t TranslateAcceleratorA(HWND window, HACCEL table, MSG* msg) {
  if (!Live(window) || !table || !msg) return 0;
  WindowState& s = Windows();
  bool known = false;
  for (auto& a : s.accels) known = known || a.get() == table;
  if (!known || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return 0;
  // The modifiers as they were when the key went down, as the queue has
  // them, not as the keyboard is now.
  const bool shift = Held(s.messageKeys, DIK_LSHIFT, DIK_RSHIFT);
  const bool control = Held(s.messageKeys, DIK_LCONTROL, DIK_RCONTROL);
  const bool alt = Held(s.messageKeys, DIK_LMENU, DIK_RMENU);
  for (const ACCEL& a : table->entries) {
    if (!(a.fVirt & FVIRTKEY) || a.key != msg->wParam) continue;
    if (((a.fVirt & FSHIFT) != 0) != shift || ((a.fVirt & FCONTROL) != 0) != control ||
        ((a.fVirt & FALT) != 0) != alt)
      continue;
    Note("accelerator " + std::to_string(a.cmd));
    SendMessageA(window, WM_COMMAND, MakeWParam(a.cmd, 1), 0);
    return 1;
  }
  return 0;
}

}  // namespace plat
