// kelvo-cube: the cube on the desktop. The one application object is built
// before main runs, as the frame expects; main says where the data files are
// looked for and hands the program's resources to the emulated window system,
// as Windows would find them in the executable.
#include <cstdio>
#include <cstring>

#include "app/window.h"
#include "platform/core/core.h"
#include "platform/threads.h"
#include "res/resources.h"
#include "scene/cube_app.h"
#include "scene/data_folder.h"
#include "scene/tables.h"

namespace {

CubeApp cube;

// help2man makes the manual page from this.
constexpr const char* kUsage =
    "Usage: kelvo-cube [-h | --help]\n"
    "A textured cube spinning on the desktop, drawn every frame by the program's own\n"
    "software rasteriser into a display mode of 8, 16, 24 or 32 bits per pixel.\n"
    "Keys 1 to 6 choose the shading mode (none, flat, Gouraud, Phong, transparency,\n"
    "inclined mapping); the arrows or the keypad turn the cube and keypad 5 stops it;\n"
    "F1 shows the About box; Alt+Enter switches between full screen and a window;\n"
    "Escape quits. A click pauses the cube and shows the menus.\n"
    "\n"
    "  -h, --help          this text\n"
    "\n"
    "Exit status: 0 done, 1 could not start (no display, a data file missing),\n"
    "2 bad command line.\n"
    "\n"
    "Files:\n"
    "  The palette CUBE.PAL, the tables PALTBL1.DAT and PALTBL2.DAT, the textures\n"
    "  T1.BMP to T6.BMP and the window's icon AppIcon.ico are read from the current\n"
    "  directory when it holds CUBE.PAL, else from the data folder beside the program:\n"
    "  data/ in a build, or ../share/kelvo-cube in an install. kelvo-gen-assets makes\n"
    "  them.\n"
    "\n"
    "Environment:\n"
    "  KELVO_THREADS=N     draw with N threads, 1-64 (default: every core)\n"
    "  SDL_VIDEODRIVER     SDL's video driver, when one is named\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    std::fprintf(stderr, "kelvo-cube: unknown argument '%s' (see --help)\n", argv[1]);
    return 2;
  }
  UseDataFolder("");
  if (!ChooseAssetFolder()) {
    // Nothing to draw: said as the frame says it, without opening a window.
    std::fprintf(stderr, "%s: start-up failed: %s\n", cube.appName, LastAssetError());
    return 1;
  }
  // The window's icon, AppIcon.ico, lies with the data files.
  plat::core::SetDataDirectory(AssetDirectory().empty() ? "." : AssetDirectory());
  plat::SetThreadCount(plat::ThreadsFromEnvironment("kelvo-cube"));
  plat::core::SetModuleResources(&ProgramResources());
  return RunApplication();
}
