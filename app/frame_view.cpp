#include "app/frame_view.h"

constinit FrameView frameView;
