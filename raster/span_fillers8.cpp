// 8-bit span fillers: palette indices, shading through 256-entry table rows.
#include "raster/span_walk.h"

using namespace raster_detail;

void FillPlain8(int32_t f) { WalkSpans<Store8>(f, RawTexel{}); }
void FillFlat8(int32_t f) { WalkSpans<Store8>(f, FlatRow<uint8_t>(shadeTable8)); }
void FillGouraud8(int32_t f) { WalkSpans<Store8>(f, Gouraud<uint8_t>(shadeTable8)); }
void FillPhong8(int32_t f) { WalkSpans<Store8>(f, Phong<uint8_t>(shadeTable8)); }
void FillBlend8(int32_t f) { WalkSpans<Store8>(f, Blend8{}); }

const SpanFiller SpanFillers8[5] = {FillPlain8, FillFlat8, FillGouraud8, FillPhong8, FillBlend8};
