#include "scene/cube_app.h"

#include "platform/winuser.h"
#include "res/resource_ids.h"
#include "scene/scene.h"
#include "scene/tables.h"

using namespace plat;

const uint32_t kShadingCommands[6] = {kCmdNoShading,    kCmdFlatShading,  kCmdGouraudShading,
                                      kCmdPhongShading, kCmdTransparency, kCmdInclinedMapping};

namespace {

constexpr double kSpeedStep = 0.01;
constexpr double kSpeedLimit = 0.1;

// Scan codes of the keys the scene reacts to (low seven bits only, so the
// cursor block acts as the keypad).
enum ScanCode : int32_t {
  kKey1 = 2,
  kKey6 = 7,
  kPad7 = 71,
  kPad8 = 72,
  kPad9 = 73,
  kPad4 = 75,
  kPad5 = 76,
  kPad6 = 77,
  kPad2 = 80,
};

void SpeedUp(double& speed) {
  if (speed < kSpeedLimit) speed += kSpeedStep;
}

void SlowDown(double& speed) {
  if (speed > -kSpeedLimit) speed -= kSpeedStep;
}

}  // namespace

CubeApp::CubeApp() : DDApp("Kelvo Textured Cube") {}

int32_t CubeApp::Init() {
  const int32_t loaded = LoadScene();
  ReportAssetWarnings();
  if (!loaded) {
    initError = LastAssetError();
    return 0;
  }
  paletteSource = cubePalette;
  if (!SetMode(640, 480, 8)) {
    initError = "cannot set the display mode 640x480x8";
    return 0;
  }
  return 1;
}

void CubeApp::Shutdown() { FreeSceneMemory(); }

int32_t CubeApp::SetMode(int32_t width, int32_t height, int32_t bitsPerPixel) {
  // Any other depth would leave the drawers writing pixels of the wrong size.
  if (!DrawableDepth(bitsPerPixel)) return 0;
  if (!DDApp::SetMode(width, height, bitsPerPixel)) return 0;
  return EnterMode(width, height, bitsPerPixel);
}

void DrawFrameRate(DDApp& app) {
  char text[256];
  FrameRateText(fps, text, sizeof text);
  app.DrawString(kFrameRateX, kFrameRateY, text);
}

void CubeApp::RenderFrame() {
  DrawCube(frameBuffer);
  const DrawnArea drawn = LastDrawnArea();
  drawnArea = {drawn.left, drawn.top, drawn.right, drawn.bottom};
  DrawFrameRate(*this);
  AdvanceRotation();
}

void CubeApp::OnKeyEvent(const KeyEvent* event) {
  if (!event || event->kind != 1 || !(event->code & 0x80)) return;
  const int32_t key = event->code & 0x7F;
  if (key >= kKey1 && key <= kKey6) {
    shadingMode = key - kKey1;
    return;
  }
  switch (key) {
    case kPad8: SpeedUp(rotationSpeedX); break;
    case kPad2: SlowDown(rotationSpeedX); break;
    case kPad7: SpeedUp(rotationSpeedY); break;
    case kPad9: SlowDown(rotationSpeedY); break;
    case kPad4: SpeedUp(rotationSpeedZ); break;
    case kPad6: SlowDown(rotationSpeedZ); break;
    case kPad5: rotationSpeedX = rotationSpeedY = rotationSpeedZ = 0.0; break;
    default: break;
  }
}

LRESULT CubeApp::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_COMMAND) return DefWindowProcA(window, message, wParam, lParam);
  const uint32_t command = LowWord(wParam);
  for (int32_t mode = 0; mode < 6; ++mode) {
    if (kShadingCommands[mode] != command) continue;
    HMENU options = GetSubMenu(GetMenu(window), 1);
    CheckMenuItem(options, static_cast<UINT>(shadingMode), MF_BYPOSITION | MF_UNCHECKED);
    shadingMode = mode;
    CheckMenuItem(options, static_cast<UINT>(mode), MF_BYPOSITION | MF_CHECKED);
    break;
  }
  return 0;
}
