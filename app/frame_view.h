// The screen as the scene and the rasteriser see it. Rows lie exactly
// screenWidth pixels apart; there is no separate pitch.
#pragma once
#include <cstdint>

extern int32_t screenWidth;
extern int32_t screenHeight;
extern int32_t centerX;
extern int32_t centerY;
