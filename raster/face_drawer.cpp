// Face set-up and scan conversion shared by every pixel depth, the edge
// walker, and the four face drawers.
#include "raster/raster_internal.h"

namespace {

// Bounds [first, last) of the entries an edge from startIndex to endIndex may
// write; empty when none lies inside the buffer.
struct EdgeRange {
  int32_t first;
  int32_t last;
};

// Writes the entries in [keep.first, keep.last) only; the walk itself is the
// whole edge's.
template <typename Entry, typename Store>
void WalkEdge(Entry* buffer, EdgeRange keep, double startValue, int32_t startIndex, double endValue,
              int32_t endIndex, Store store) {
  if (startIndex >= endIndex || buffer == nullptr) return;
  const EdgeRange range = {std::max(startIndex, keep.first), std::min(endIndex, keep.last)};
  if (range.first >= range.last) return;
  const double step = (endValue - startValue) / static_cast<double>(int64_t{endIndex} - startIndex);
  double value = startValue;
  // Entries above the kept ones still advance the sum, so every written
  // entry holds what the whole walk gives there.
  for (int32_t i = startIndex; i < range.first; ++i) value = value + step;
  for (int32_t i = range.first; i < range.last; ++i) {
    buffer[i] = store(value);
    value = value + step;
  }
}

void FillEdgeRows(int32_t* buffer, int32_t first, int32_t last, double startValue,
                  int32_t startIndex, double endValue, int32_t endIndex) {
  WalkEdge(buffer, {first, last}, startValue, startIndex, endValue, endIndex,
           [](double v) { return TruncToInt32(v); });
}

void FillEdgeBytesRows(int8_t* buffer, int32_t first, int32_t last, double startValue,
                       int32_t startIndex, double endValue, int32_t endIndex) {
  WalkEdge(buffer, {first, last}, startValue, startIndex, endValue, endIndex, [](double v) {
    return static_cast<int8_t>(static_cast<uint8_t>(static_cast<uint32_t>(TruncToInt32(v))));
  });
}

inline Vector3 Cross(const CubeVertex& a, const CubeVertex& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline double SignedByte(uint8_t v) { return static_cast<double>(static_cast<int8_t>(v)); }

void DrawFaceThrough(RasterContext& ctx, int32_t faceIndex, const void* frame,
                     const SpanFiller* fillers, int32_t fillerCount, bool transparencyDrawsBack) {
  if (!raster_detail::CanDraw(ctx, frame)) return;
  const int32_t mode = ctx.scene->shadingMode;
  if (mode < 0 || mode >= fillerCount) return;
  CubeVertex corners[4];
  bool backFacing = false;
  const bool drawBack = transparencyDrawsBack && mode == kTransparency;
  if (!raster_detail::SetUpFace(ctx, faceIndex, drawBack, corners, &backFacing)) return;
  raster_detail::ScanConvert(ctx, corners, backFacing, mode);
  fillers[mode](ctx, faceIndex);
}

// Whether a drawer of the 8- or 16-bit path hands the face to inclined mapping.
bool Inclined(const RasterContext& ctx) {
  return ctx.scene != nullptr && ctx.scene->shadingMode == kInclinedMapping;
}

}  // namespace

void FillEdge(int32_t* buffer, int32_t entries, double startValue, int32_t startIndex,
              double endValue, int32_t endIndex) {
  FillEdgeRows(buffer, 0, entries, startValue, startIndex, endValue, endIndex);
}

void FillEdgeBytes(int8_t* buffer, int32_t entries, double startValue, int32_t startIndex,
                   double endValue, int32_t endIndex) {
  FillEdgeBytesRows(buffer, 0, entries, startValue, startIndex, endValue, endIndex);
}

namespace raster_detail {

bool CanDraw(const RasterContext& ctx, const void* frame) {
  const RasterScene* s = ctx.scene;
  const bool scene =
      s != nullptr && s->vertices != nullptr && s->faces != nullptr && s->shadeTable8 != nullptr &&
      s->blendTable8 != nullptr && s->lightMap != nullptr && s->palette16 != nullptr &&
      s->shadeRamp16 != nullptr && s->blendLow16 != nullptr && s->blendHigh16 != nullptr &&
      s->palette32 != nullptr && s->shadeRamp32 != nullptr;
  return frame != nullptr && scene && ctx.screenWidth > 0 && ctx.screenHeight > 0 &&
         ctx.scanlineEntries > 0 && ctx.leftX != nullptr && ctx.rightX != nullptr &&
         ctx.leftShade != nullptr && ctx.rightShade != nullptr && ctx.leftAzimuth != nullptr &&
         ctx.rightAzimuth != nullptr && ctx.leftPolar != nullptr && ctx.rightPolar != nullptr &&
         ctx.inclineStep != nullptr && ctx.inclineOffset != nullptr;
}

int32_t SetUpFace(RasterContext& ctx, int32_t faceIndex, bool drawBackFaces, CubeVertex corners[4],
                  bool* backFacing) {
  if (faceIndex < 0 || faceIndex > 5) return 0;
  const RasterScene& scene = *ctx.scene;
  for (int k = 0; k < 4; ++k) {
    const int32_t index = scene.faces[faceIndex].corners[k];
    if (index < 0 || index > 7) return 0;
    corners[k] = scene.vertices[index];
  }
  const CubeVertex& c0 = corners[0];
  const CubeVertex& c1 = corners[1];
  const CubeVertex& c3 = corners[3];
  const int64_t dx1 = int64_t{c1.screenX} - c0.screenX;
  const int64_t dy1 = int64_t{c1.screenY} - c0.screenY;
  const int64_t dx3 = int64_t{c3.screenX} - c0.screenX;
  const int64_t dy3 = int64_t{c3.screenY} - c0.screenY;
  const double cross = static_cast<double>(dx1) * static_cast<double>(dy3) -
                       static_cast<double>(dx3) * static_cast<double>(dy1);
  *backFacing = !(cross > 0);
  if (*backFacing && !drawBackFaces) return 0;

  ctx.uVector = Cross(c1, c0);
  ctx.vVector = Cross(c0, c3);
  const Vector3 a = Cross(c3, c1);
  const Vector3 b = Cross(c1, c0);
  const Vector3 c = Cross(c0, c3);
  constexpr double kInverse118 = 0.00847457627118644;
  ctx.wVector = {(a.x + b.x + c.x) * kInverse118, (a.y + b.y + c.y) * kInverse118,
                 (a.z + b.z + c.z) * kInverse118};
  return 1;
}

void ScanConvert(RasterContext& ctx, const CubeVertex corners[4], bool backFacing, int32_t mode) {
  // A back face (drawn only in transparency) runs the other way round, so its
  // descending edges bound the span on the left.
  int32_t* descendingX = backFacing ? ctx.leftX : ctx.rightX;
  int32_t* ascendingX = backFacing ? ctx.rightX : ctx.leftX;
  int32_t* descendingShade = backFacing ? ctx.leftShade : ctx.rightShade;
  int32_t* ascendingShade = backFacing ? ctx.rightShade : ctx.leftShade;
  int8_t* descendingAzimuth = backFacing ? ctx.leftAzimuth : ctx.rightAzimuth;
  int8_t* ascendingAzimuth = backFacing ? ctx.rightAzimuth : ctx.leftAzimuth;
  int8_t* descendingPolar = backFacing ? ctx.leftPolar : ctx.rightPolar;
  int8_t* ascendingPolar = backFacing ? ctx.rightPolar : ctx.leftPolar;
  // Only the band's rows are filled: no other row is read.
  const RowBand band = PixelRows(ctx);
  const int32_t first = band.top;
  const int32_t last = std::min(band.bottom, ctx.scanlineEntries);

  ctx.spanTop = ctx.screenHeight;
  ctx.spanBottom = 0;
  for (int k = 0; k < 4; ++k) {
    const CubeVertex& a = corners[k];
    const CubeVertex& b = corners[(k + 1) & 3];
    const int32_t yA = a.screenY;
    const int32_t yB = b.screenY;
    // Both kinds walk from the upper end, so faces sharing an edge get the
    // same columns on it.
    const bool descending = yA < yB;
    const CubeVertex& top = descending ? a : b;
    const CubeVertex& bottom = descending ? b : a;
    const int32_t yTop = descending ? yA : yB;
    const int32_t yBottom = descending ? yB : yA;
    FillEdgeRows(descending ? descendingX : ascendingX, first, last, top.screenX, yTop,
                 bottom.screenX, yBottom);
    if (mode == kGouraudShading) {
      FillEdgeRows(descending ? descendingShade : ascendingShade, first, last, -73.0 * top.x, yTop,
                   -73.0 * bottom.x, yBottom);
    } else if (mode == kPhongShading) {
      FillEdgeBytesRows(descending ? descendingAzimuth : ascendingAzimuth, first, last,
                        SignedByte(top.azimuthIndex), yTop, SignedByte(bottom.azimuthIndex),
                        yBottom);
      FillEdgeBytesRows(descending ? descendingPolar : ascendingPolar, first, last,
                        SignedByte(top.polarIndex), yTop, SignedByte(bottom.polarIndex), yBottom);
    }
    ctx.spanTop = std::min(ctx.spanTop, yA);
    ctx.spanBottom = std::max(ctx.spanBottom, yA);
  }
  if (mode == kFlatShading) {
    ctx.flatLevel =
        TruncToInt32(128.0 - 32.0 * (corners[0].x + corners[1].x + corners[2].x + corners[3].x));
  }
}

}  // namespace raster_detail

void DrawFace8(RasterContext& ctx, int32_t faceIndex) {
  if (Inclined(ctx)) {
    DrawFaceInclined8(ctx, faceIndex);
    return;
  }
  DrawFaceThrough(ctx, faceIndex, ctx.frame8, SpanFillers8, 5, true);
}

void DrawFace16(RasterContext& ctx, int32_t faceIndex) {
  if (Inclined(ctx)) {
    DrawFaceInclined16(ctx, faceIndex);
    return;
  }
  DrawFaceThrough(ctx, faceIndex, ctx.frame16, SpanFillers16, 5, true);
}

// The true-colour paths carry modes 0 to 3 only and never draw back faces.
void DrawFace24(RasterContext& ctx, int32_t faceIndex) {
  DrawFaceThrough(ctx, faceIndex, ctx.frame24, SpanFillers24, 4, false);
}

void DrawFace32(RasterContext& ctx, int32_t faceIndex) {
  DrawFaceThrough(ctx, faceIndex, ctx.frame32, SpanFillers32, 4, false);
}

const FaceDrawer FaceDrawers[4] = {DrawFace8, DrawFace16, DrawFace24, DrawFace32};
