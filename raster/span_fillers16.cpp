// 16-bit span fillers: 5-5-5 words from the 16-bit colour tables.
#include "raster/span_walk.h"

using namespace raster_detail;

void FillPlain16(int32_t f) { WalkSpans<Store16>(f, ByTable<uint16_t>(palette16)); }
void FillFlat16(int32_t f) { WalkSpans<Store16>(f, FlatRow<uint16_t>(shadeRamp16)); }
void FillGouraud16(int32_t f) { WalkSpans<Store16>(f, Gouraud<uint16_t>(shadeRamp16)); }
void FillPhong16(int32_t f) { WalkSpans<Store16>(f, Phong<uint16_t>(shadeRamp16)); }
void FillBlend16(int32_t f) { WalkSpans<Store16>(f, Blend16{}); }

const SpanFiller SpanFillers16[5] = {FillPlain16, FillFlat16, FillGouraud16, FillPhong16,
                                     FillBlend16};
