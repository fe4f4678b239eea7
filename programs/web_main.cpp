// kelvo-cube in the browser: the same program over the canvas backend. The
// data files are embedded in the module's file system, at its root; the
// page draws with one thread, since it has no shared memory to give more.
#include <cstdio>

#include "app/window.h"
#include "platform/core/core.h"
#include "platform/threads.h"
#include "platform/web/web.h"
#include "res/resources.h"
#include "scene/cube_app.h"
#include "scene/data_folder.h"
#include "scene/tables.h"

namespace {

CubeApp cube;

}  // namespace

int main() {
  UseDataFolder("");
  int status = 1;
  if (!ChooseAssetFolder()) {
    std::fprintf(stderr, "%s: start-up failed: %s\n", cube.appName, LastAssetError());
  } else {
    plat::core::SetDataDirectory(AssetDirectory().empty() ? "." : AssetDirectory());
    plat::SetThreadCount(1);
    plat::core::SetModuleResources(&ProgramResources());
    status = RunApplication();
  }
  plat::web::Stopped(status);
  return status;
}
