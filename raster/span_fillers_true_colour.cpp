// 24- and 32-bit span fillers: ready 0x00RRGGBB colours, modes 0 to 3 only.
#include "raster/span_walk.h"

using namespace raster_detail;

void FillPlain24(int32_t f) { WalkSpans<Store24>(f, ByTable<uint32_t>(palette32)); }
void FillFlat24(int32_t f) { WalkSpans<Store24>(f, FlatRow<uint32_t>(shadeRamp32)); }
void FillGouraud24(int32_t f) { WalkSpans<Store24>(f, Gouraud<uint32_t>(shadeRamp32)); }
void FillPhong24(int32_t f) { WalkSpans<Store24>(f, Phong<uint32_t>(shadeRamp32)); }

void FillPlain32(int32_t f) { WalkSpans<Store32>(f, ByTable<uint32_t>(palette32)); }
void FillFlat32(int32_t f) { WalkSpans<Store32>(f, FlatRow<uint32_t>(shadeRamp32)); }
void FillGouraud32(int32_t f) { WalkSpans<Store32>(f, Gouraud<uint32_t>(shadeRamp32)); }
void FillPhong32(int32_t f) { WalkSpans<Store32>(f, Phong<uint32_t>(shadeRamp32)); }

const SpanFiller SpanFillers24[4] = {FillPlain24, FillFlat24, FillGouraud24, FillPhong24};
const SpanFiller SpanFillers32[4] = {FillPlain32, FillFlat32, FillGouraud32, FillPhong32};
