// 8-bit span fillers: palette indices, shading through 256-entry table rows.
#include "raster/span_walk.h"

using namespace raster_detail;

namespace {
constexpr SceneTable<uint8_t> kShade = &RasterScene::shadeTable8;
}  // namespace

void FillPlain8(RasterContext& c, int32_t f) { WalkSpans<Store8, RawTexel>(c, f); }
void FillFlat8(RasterContext& c, int32_t f) { WalkSpans<Store8, FlatRow<uint8_t, kShade>>(c, f); }
void FillGouraud8(RasterContext& c, int32_t f) {
  WalkSpans<Store8, Gouraud<uint8_t, kShade>>(c, f);
}
void FillPhong8(RasterContext& c, int32_t f) { WalkSpans<Store8, Phong<uint8_t, kShade>>(c, f); }
void FillBlend8(RasterContext& c, int32_t f) { WalkSpans<Store8, Blend8>(c, f); }

const SpanFiller SpanFillers8[5] = {FillPlain8, FillFlat8, FillGouraud8, FillPhong8, FillBlend8};
