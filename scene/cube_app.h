// The cube scene: the one application the frame drives.
#pragma once
#include <cstdint>

#include "app/ddapp.h"

class CubeApp : public DDApp {
 public:
  CubeApp();

  int32_t Init() override;
  void Shutdown() override;
  int32_t SetMode(int32_t width, int32_t height, int32_t bitsPerPixel) override;
  void RenderFrame() override;
  void OnKeyEvent(const KeyEvent* event) override;
  plat::LRESULT HandleMessage(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                              plat::LPARAM lParam) override;
};

// The frame-rate text drawn through the frame, as RenderFrame does after
// DrawCube (scene/scene.h).
void DrawFrameRate(DDApp& app);

// Menu command ids of the "&Options" items, in menu order (position = mode).
extern const uint32_t kShadingCommands[6];
