// The frame-rate count: the last step of every frame that was drawn.
#pragma once

// Counts one drawn frame; recomputes fps once more than 1000 ms have passed
// since it was last computed.
void CountFrame();
