// 24- and 32-bit span fillers: ready 0x00RRGGBB colours, modes 0 to 3 only.
#include "raster/span_walk.h"

using namespace raster_detail;

namespace {
constexpr SceneTable<uint32_t> kPalette = &RasterScene::palette32;
constexpr SceneTable<uint32_t> kRamp = &RasterScene::shadeRamp32;
}  // namespace

void FillPlain24(RasterContext& c, int32_t f) {
  WalkSpans<Store24, ByTable<uint32_t, kPalette>>(c, f);
}
void FillFlat24(RasterContext& c, int32_t f) { WalkSpans<Store24, FlatRow<uint32_t, kRamp>>(c, f); }
void FillGouraud24(RasterContext& c, int32_t f) {
  WalkSpans<Store24, Gouraud<uint32_t, kRamp>>(c, f);
}
void FillPhong24(RasterContext& c, int32_t f) { WalkSpans<Store24, Phong<uint32_t, kRamp>>(c, f); }

void FillPlain32(RasterContext& c, int32_t f) {
  WalkSpans<Store32, ByTable<uint32_t, kPalette>>(c, f);
}
void FillFlat32(RasterContext& c, int32_t f) { WalkSpans<Store32, FlatRow<uint32_t, kRamp>>(c, f); }
void FillGouraud32(RasterContext& c, int32_t f) {
  WalkSpans<Store32, Gouraud<uint32_t, kRamp>>(c, f);
}
void FillPhong32(RasterContext& c, int32_t f) { WalkSpans<Store32, Phong<uint32_t, kRamp>>(c, f); }

const SpanFiller SpanFillers24[4] = {FillPlain24, FillFlat24, FillGouraud24, FillPhong24};
const SpanFiller SpanFillers32[4] = {FillPlain32, FillFlat32, FillGouraud32, FillPhong32};
