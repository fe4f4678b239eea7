// kelvo-cube.exe: the cube on Windows' own window system, DirectDraw and
// DirectInput. The one application object is built before main runs, as the
// frame expects; main only says where the data files are looked for and
// passes on how the window is to be shown.
#include "app/window.h"
#include "platform/threads.h"
#include "platform/win32/sdk.h"
#include "scene/cube_app.h"
#include "scene/data_folder.h"

namespace {

CubeApp cube;

int32_t ShowCommand() {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWNORMAL;
}

}  // namespace

int main() {
  // The current directory, else (a shortcut, Explorer, another folder's
  // prompt) the files beside the exe or in the build's data folder there.
  UseDataFolder("");
  plat::SetThreadCount(plat::ThreadsFromEnvironment("kelvo-cube"));
  return RunApplication(ShowCommand());
}
