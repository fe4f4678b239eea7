#include "app/frame_view.h"

int32_t screenWidth = 0;
int32_t screenHeight = 0;
int32_t centerX = 0;
int32_t centerY = 0;
