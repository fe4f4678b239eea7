// kelvo-cube.exe: the cube on Windows' own window system, DirectDraw and
// DirectInput. The one application object is built before main runs, as the
// frame expects; main only finds the data files and passes on how the window
// is to be shown.
#include <string>

#include "app/window.h"
#include "platform/threads.h"
#include "platform/win32/sdk.h"
#include "scene/cube_app.h"

namespace {

CubeApp cube;

bool HasPalette(const std::string& folder) {
  const DWORD attributes = GetFileAttributesA((folder + "CUBE.PAL").c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The program reads its files from the current directory. Started from
// anywhere else (a shortcut, Explorer, another folder's prompt), it uses the
// files beside the exe, or in the data folder the build puts there.
void FindDataFiles() {
  if (HasPalette("")) return;
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  std::string folder(path, length);
  const size_t slash = folder.find_last_of("\\/");
  if (slash == std::string::npos) return;
  folder.resize(slash + 1);
  for (const std::string& candidate : {folder, folder + "data\\"}) {
    if (HasPalette(candidate)) {
      SetCurrentDirectoryA(candidate.c_str());
      return;
    }
  }
}

int32_t ShowCommand() {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWNORMAL;
}

}  // namespace

int main() {
  FindDataFiles();
  plat::SetThreadCount(plat::ThreadsFromEnvironment("kelvo-cube"));
  return RunApplication(ShowCommand());
}
