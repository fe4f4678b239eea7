// Face set-up and scan conversion shared by every pixel depth, the edge
// walker, and the four face drawers.
#include "raster/raster_internal.h"

int32_t spanTop = 0;
int32_t spanBottom = 0;
Vector3 uVector = {0, 0, 0};
Vector3 vVector = {0, 0, 0};
Vector3 wVector = {0, 0, 0};
double inclineSlope = 0;
int32_t flatLevel = 0;
uint64_t drawnPixelCount = 0;

namespace {

// Bounds [first, last) of the entries an edge from startIndex to endIndex may
// write; empty when none lies inside the buffer.
struct EdgeRange {
  int32_t first;
  int32_t last;
};

inline EdgeRange ClipEdge(int32_t startIndex, int32_t endIndex) {
  return {std::max(startIndex, int32_t{0}), std::min(endIndex, scanlineEntries)};
}

template <typename Entry, typename Store>
void WalkEdge(Entry* buffer, double startValue, int32_t startIndex, double endValue,
              int32_t endIndex, Store store) {
  if (startIndex >= endIndex || buffer == nullptr) return;
  const double step =
      (endValue - startValue) / static_cast<double>(int64_t{endIndex} - startIndex);
  const EdgeRange range = ClipEdge(startIndex, endIndex);
  if (range.first >= range.last) return;
  double value = startValue;
  // Entries above the buffer still advance the sum, so every written entry
  // holds what the whole walk gives there.
  for (int32_t i = startIndex; i < range.first; ++i) value = value + step;
  for (int32_t i = range.first; i < range.last; ++i) {
    buffer[i] = store(value);
    value = value + step;
  }
}

inline Vector3 Cross(const CubeVertex& a, const CubeVertex& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline double SignedByte(uint8_t v) { return static_cast<double>(static_cast<int8_t>(v)); }

void DrawFaceThrough(int32_t faceIndex, const void* frame, const SpanFiller* fillers,
                     int32_t fillerCount, bool transparencyDrawsBack) {
  const int32_t mode = shadingMode;
  if (mode < 0 || mode >= fillerCount || !raster_detail::CanDraw(frame)) return;
  CubeVertex corners[4];
  bool backFacing = false;
  const bool drawBack = transparencyDrawsBack && mode == kTransparency;
  if (!raster_detail::SetUpFace(faceIndex, drawBack, corners, &backFacing)) return;
  raster_detail::ScanConvert(corners, backFacing, mode);
  fillers[mode](faceIndex);
}

}  // namespace

void FillEdge(int32_t* buffer, double startValue, int32_t startIndex, double endValue,
              int32_t endIndex) {
  WalkEdge(buffer, startValue, startIndex, endValue, endIndex,
           [](double v) { return TruncToInt32(v); });
}

void FillEdgeBytes(int8_t* buffer, double startValue, int32_t startIndex, double endValue,
                   int32_t endIndex) {
  WalkEdge(buffer, startValue, startIndex, endValue, endIndex, [](double v) {
    return static_cast<int8_t>(static_cast<uint8_t>(static_cast<uint32_t>(TruncToInt32(v))));
  });
}

namespace raster_detail {

bool CanDraw(const void* frame) {
  return frame != nullptr && screenWidth > 0 && screenHeight > 0 && scanlineEntries > 0 &&
         leftX != nullptr && rightX != nullptr && leftShade != nullptr &&
         rightShade != nullptr && leftAzimuth != nullptr && rightAzimuth != nullptr &&
         leftPolar != nullptr && rightPolar != nullptr && inclineStep != nullptr &&
         inclineOffset != nullptr;
}

int32_t SetUpFace(int32_t faceIndex, bool drawBackFaces, CubeVertex corners[4],
                  bool* backFacing) {
  if (faceIndex < 0 || faceIndex > 5) return 0;
  for (int k = 0; k < 4; ++k) {
    const int32_t index = cubeFaces[faceIndex].corners[k];
    if (index < 0 || index > 7) return 0;
    corners[k] = cubeVertices[index];
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

  uVector = Cross(c1, c0);
  vVector = Cross(c0, c3);
  const Vector3 a = Cross(c3, c1);
  const Vector3 b = Cross(c1, c0);
  const Vector3 c = Cross(c0, c3);
  constexpr double kInverse118 = 0.00847457627118644;
  wVector = {(a.x + b.x + c.x) * kInverse118, (a.y + b.y + c.y) * kInverse118,
             (a.z + b.z + c.z) * kInverse118};
  return 1;
}

void ScanConvert(const CubeVertex corners[4], bool backFacing, int32_t mode) {
  // A back face (drawn only in transparency) runs the other way round, so its
  // descending edges bound the span on the left.
  int32_t* descendingX = backFacing ? leftX : rightX;
  int32_t* ascendingX = backFacing ? rightX : leftX;
  int32_t* descendingShade = backFacing ? leftShade : rightShade;
  int32_t* ascendingShade = backFacing ? rightShade : leftShade;
  int8_t* descendingAzimuth = backFacing ? leftAzimuth : rightAzimuth;
  int8_t* ascendingAzimuth = backFacing ? rightAzimuth : leftAzimuth;
  int8_t* descendingPolar = backFacing ? leftPolar : rightPolar;
  int8_t* ascendingPolar = backFacing ? rightPolar : leftPolar;

  spanTop = screenHeight;
  spanBottom = 0;
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
    FillEdge(descending ? descendingX : ascendingX, top.screenX, yTop, bottom.screenX, yBottom);
    if (mode == kGouraudShading) {
      FillEdge(descending ? descendingShade : ascendingShade, -73.0 * top.x, yTop,
               -73.0 * bottom.x, yBottom);
    } else if (mode == kPhongShading) {
      FillEdgeBytes(descending ? descendingAzimuth : ascendingAzimuth,
                    SignedByte(top.azimuthIndex), yTop, SignedByte(bottom.azimuthIndex),
                    yBottom);
      FillEdgeBytes(descending ? descendingPolar : ascendingPolar, SignedByte(top.polarIndex),
                    yTop, SignedByte(bottom.polarIndex), yBottom);
    }
    spanTop = std::min(spanTop, yA);
    spanBottom = std::max(spanBottom, yA);
  }
  if (mode == kFlatShading) {
    flatLevel = TruncToInt32(
        128.0 - 32.0 * (corners[0].x + corners[1].x + corners[2].x + corners[3].x));
  }
}

}  // namespace raster_detail

void DrawFace8(int32_t faceIndex) {
  if (shadingMode == kInclinedMapping) {
    DrawFaceInclined8(faceIndex);
    return;
  }
  DrawFaceThrough(faceIndex, frame8, SpanFillers8, 5, true);
}

void DrawFace16(int32_t faceIndex) {
  if (shadingMode == kInclinedMapping) {
    DrawFaceInclined16(faceIndex);
    return;
  }
  DrawFaceThrough(faceIndex, frame16, SpanFillers16, 5, true);
}

// The true-colour paths carry modes 0 to 3 only and never draw back faces.
void DrawFace24(int32_t faceIndex) { DrawFaceThrough(faceIndex, frame24, SpanFillers24, 4, false); }

void DrawFace32(int32_t faceIndex) { DrawFaceThrough(faceIndex, frame32, SpanFillers32, 4, false); }

const FaceDrawer FaceDrawers[4] = {DrawFace8, DrawFace16, DrawFace24, DrawFace32};
