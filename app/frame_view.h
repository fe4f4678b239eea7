// The screen as the scene and the rasteriser see it: set by each display mode
// switch, with the pixels at DDApp::frameBuffer. Rows lie exactly screenWidth
// pixels apart; there is no separate pitch.
#pragma once
#include <cstdint>

struct FrameView {
  int32_t screenWidth = 0;
  int32_t screenHeight = 0;
  int32_t centerX = 0;  // screenWidth / 2
  int32_t centerY = 0;  // screenHeight / 2
};
extern FrameView frameView;

// The names the frame and the scene use.
inline int32_t& screenWidth = frameView.screenWidth;
inline int32_t& screenHeight = frameView.screenHeight;
inline int32_t& centerX = frameView.centerX;
inline int32_t& centerY = frameView.centerY;
