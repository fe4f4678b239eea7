// Where a frame drawn by several threads is cut into row bands: each band
// gets about the same share of the cube, so no thread waits long for another.
#pragma once
#include <cstdint>

#include "raster/geometry.h"

// starts[0..count]: band k is the rows [starts[k], starts[k + 1]), the first
// starting at 0 and the last ending at height, none reversed (a band may be
// empty). The projected corners decide: the rows the cube's outline covers
// are shared out by its width on each row; the rows above and below it go to
// the first and last band. Cuts fall on rows whose start is 64-byte aligned
// where such rows lie close (rowBytes: the bytes of one row), so two threads
// never write one cache line there. count is 1 or more.
void SplitFrameRows(const CubeVertex corners[8], int32_t height, int64_t rowBytes, int32_t count,
                    int32_t* starts);
