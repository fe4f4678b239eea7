// kelvo-cube: the cube on the desktop. The one application object is built
// before main runs, as the frame expects; main finds the data files and hands
// the program's resources to the emulated window system, as Windows would
// find them in the executable.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/window.h"
#include "platform/core/core.h"
#include "platform/threads.h"
#include "res/resources.h"
#include "scene/cube_app.h"

namespace {

CubeApp cube;

// The program reads its files from the current directory. Started from
// anywhere else, it uses the data folder the build put beside it.
void FindDataFiles() {
  std::error_code error;
  if (std::filesystem::exists("CUBE.PAL", error)) return;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return;
  const std::filesystem::path data = exe.parent_path() / "data";
  if (!std::filesystem::exists(data / "CUBE.PAL", error)) return;
  if (chdir(data.c_str()) != 0) std::perror("kelvo-cube: cannot enter the data folder");
}

}  // namespace

int main() {
  FindDataFiles();
  plat::SetThreadCount(plat::ThreadsFromEnvironment("kelvo-cube"));
  plat::core::SetModuleResources(&ProgramResources());
  return RunApplication();
}
