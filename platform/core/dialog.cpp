// The modal dialog: its own message loop, the keyboard interface every dialog
// box has (Enter for the default button, Escape for Cancel), and its buttons
// under the mouse.
#include <cstring>

#include "platform/core/internal.h"

namespace {

using namespace plat;
using namespace plat::core::detail;
using plat::core::Call;

int32_t DefaultButton(const WindowObject& dialog) {
  if (!dialog.dialogTemplate) return IDOK;
  for (uint32_t i = 0; i < dialog.dialogTemplate->count; ++i) {
    const DialogItemTemplate& item = dialog.dialogTemplate->items[i];
    if (std::strcmp(item.windowClass, "BUTTON") == 0 && (item.style & 0xF) == BS_DEFPUSHBUTTON)
      return item.id;
  }
  return IDOK;
}

// The button under a point of the dialog's client area, 0 for none.
int32_t ButtonAt(const WindowObject& dialog, LPARAM lParam) {
  const DialogResource* t = dialog.dialogTemplate;
  if (!t) return 0;
  const DialogGeometry g = DialogLayout(dialog);
  const POINT pt{g.client.left + static_cast<int16_t>(LowWord(static_cast<WPARAM>(lParam))),
                 g.client.top + static_cast<int16_t>(HighWord(static_cast<WPARAM>(lParam)))};
  for (uint32_t i = 0; i < t->count && i < g.controls.size(); ++i)
    if (std::strcmp(t->items[i].windowClass, "BUTTON") == 0 && core::Inside(g.controls[i], pt))
      return t->items[i].id;
  return 0;
}

}  // namespace

namespace plat::core::detail {

DialogGeometry DialogLayout(const WindowObject& d) {
  DialogGeometry g;
  const DialogResource* t = d.dialogTemplate;
  if (!t) return g;
  // Dialog units of an 8-point "MS Sans Serif": 6 x 13 pixels a character.
  auto px = [](int32_t units) { return units * 6 / 4; };
  auto py = [](int32_t units) { return units * 13 / 8; };
  RECT origin{0, 0, 0, 0};
  if (d.owner && Live(d.owner)) origin = ClientRect(*d.owner);
  const int32_t left = origin.left + px(t->x) + kFrame;
  const int32_t top = origin.top + py(t->y) + kFrame + kCaption;
  g.client = {left, top, left + px(t->cx), top + py(t->cy)};
  g.frame = {left - kFrame, top - kFrame - kCaption, g.client.right + kFrame,
             g.client.bottom + kFrame};
  for (uint32_t i = 0; i < t->count; ++i) {
    const DialogItemTemplate& item = t->items[i];
    const int32_t x = left + px(item.x), y = top + py(item.y);
    g.controls.push_back({x, y, x + px(item.cx), y + py(item.cy)});
  }
  return g;
}

// What the dialog manager does around the dialog procedure.
LRESULT DialogWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (dialog->dialogProc && dialog->dialogProc(dialog, message, wParam, lParam)) return 1;
  switch (message) {
    case WM_CLOSE: SendMessageA(dialog, WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED), 0); break;
    case WM_SETCURSOR: SetCursor(LoadCursorA(nullptr, IDC_ARROW)); break;
    case WM_LBUTTONDOWN:
      dialog->pressedButton = ButtonAt(*dialog, lParam);
      if (dialog->pressedButton) PaintScreen();
      break;
    case WM_LBUTTONUP: {
      // A button is clicked when the button goes up over the one it went down on.
      const int32_t pressed = dialog->pressedButton;
      dialog->pressedButton = 0;
      if (!pressed) break;
      PaintScreen();
      if (ButtonAt(*dialog, lParam) == pressed)
        SendMessageA(dialog, WM_COMMAND, MakeWParam(static_cast<uint32_t>(pressed), BN_CLICKED), 0);
      break;
    }
    default: break;
  }
  return 0;
}

// Enter clicks the default button, Escape asks to cancel: the keyboard
// interface of every dialog box.
bool DialogKey(HWND dialog, const MSG& m) {
  if (m.hwnd != dialog || m.message != WM_KEYDOWN) return false;
  if (m.wParam == VK_RETURN) {
    SendMessageA(dialog, WM_COMMAND,
                 MakeWParam(static_cast<uint32_t>(DefaultButton(*dialog)), BN_CLICKED), 0);
    return true;
  }
  if (m.wParam == VK_ESCAPE) {
    SendMessageA(dialog, WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED), 0);
    return true;
  }
  return false;
}

}  // namespace plat::core::detail

namespace plat::core {

HWND OpenDialog() {
  const detail::WindowState& s = detail::Windows();
  return s.dialogs.empty() ? nullptr : s.dialogs.back();
}

std::string OpenDialogTemplate() {
  HWND d = OpenDialog();
  return d && d->dialogTemplate ? d->dialogTemplate->name : "";
}

}  // namespace plat::core

namespace plat {

intptr_t DialogBoxParamA(HINSTANCE instance, const char* templateName, HWND owner, DLGPROC proc,
                         LPARAM param) {
  if (ShouldFail(Call::DialogBox) || !ModuleInstance(instance) || !proc) return -1;
  const ResourceModule& r = Resources();
  const DialogResource* t = FindNamedResource(r.dialogs, r.dialogCount, templateName);
  if (!t || (owner && !Live(owner))) return -1;
  WindowState& s = Windows();
  auto object = std::make_unique<WindowObject>();
  object->title = t->caption ? t->caption : "";
  object->style = t->style;
  object->owner = owner;
  object->dialog = true;
  object->dialogProc = proc;
  object->dialogTemplate = t;
  HWND dialog = object.get();
  s.windows.push_back(std::move(object));
  for (uint32_t i = 0; i < t->count; ++i)
    if ((t->items[i].style & 0xF) == SS_ICON && std::strcmp(t->items[i].windowClass, "STATIC") == 0)
      dialog->icon = LoadIconA(instance, t->items[i].text);
  dialog->rect = DialogLayout(*dialog).frame;
  Note(std::string("DialogBox ") + t->name);
  if (owner) EnableWindow(owner, 0);
  s.dialogs.push_back(dialog);
  SendMessageA(dialog, WM_INITDIALOG, 0, param);
  if (Live(dialog)) {
    dialog->visible = true;
    if (s.appForeground) {
      // SetForegroundWindow for the box, which the keyboard now follows.
      s.foreground = dialog;
      KeyboardForegroundChanged(dialog);
    }
  }
  PaintScreen();
  RunModalLoop([&] { return !Live(dialog) || dialog->ended; },
               [&](const MSG& m) { return DialogKey(dialog, m); });
  const intptr_t result = Live(dialog) && dialog->ended ? dialog->result : 0;
  if (owner && Live(owner)) {
    EnableWindow(owner, 1);
    if (s.appForeground && s.foreground == dialog) {
      s.foreground = owner;
      KeyboardForegroundChanged(owner);
    }
  }
  if (Live(dialog)) DestroyWindow(dialog);
  PaintScreen();
  Note("DialogBox ended " + std::to_string(result));
  return result;
}

BOOL EndDialog(HWND dialog, intptr_t result) {
  WindowObject* d = Live(dialog);
  if (!d || !d->dialog) return 0;
  d->ended = true;
  d->result = result;
  Note("EndDialog " + std::to_string(result));
  return 1;
}

}  // namespace plat
