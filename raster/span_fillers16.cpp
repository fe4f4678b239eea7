// 16-bit span fillers: 5-5-5 words from the 16-bit colour tables.
#include "raster/span_walk.h"

using namespace raster_detail;

namespace {
constexpr SceneTable<uint16_t> kPalette = &RasterScene::palette16;
constexpr SceneTable<uint16_t> kRamp = &RasterScene::shadeRamp16;
}  // namespace

void FillPlain16(RasterContext& c, int32_t f) {
  WalkSpans<Store16, ByTable<uint16_t, kPalette>>(c, f);
}
void FillFlat16(RasterContext& c, int32_t f) { WalkSpans<Store16, FlatRow<uint16_t, kRamp>>(c, f); }
void FillGouraud16(RasterContext& c, int32_t f) {
  WalkSpans<Store16, Gouraud<uint16_t, kRamp>>(c, f);
}
void FillPhong16(RasterContext& c, int32_t f) { WalkSpans<Store16, Phong<uint16_t, kRamp>>(c, f); }
void FillBlend16(RasterContext& c, int32_t f) { WalkSpans<Store16, Blend16>(c, f); }

const SpanFiller SpanFillers16[5] = {FillPlain16, FillFlat16, FillGouraud16, FillPhong16,
                                     FillBlend16};
