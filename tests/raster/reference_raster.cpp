#include "raster/reference_raster.h"

#include <cmath>
#include <string>

#include "raster/numeric.h"
#include "scene/cube_model.h"
#include "scene/tables.h"

namespace reference {

namespace {

int32_t Table(int64_t index) {
  if (index < 0 || index >= 65536) throw std::out_of_range("table index " + std::to_string(index));
  return static_cast<int32_t>(index);
}

// Nearly edge-on faces send texture coordinates past the int32 range; the
// project's one conversion rule decides those.
int32_t Trunc(double v) { return TruncToInt32(v); }

int32_t Round(double v) { return RoundToInt32(v); }

Vector3 Cross(const CubeVertex& a, const CubeVertex& b) {
  Vector3 r;
  r.x = a.y * b.z - a.z * b.y;
  r.y = a.z * b.x - a.x * b.z;
  r.z = a.x * b.y - a.y * b.x;
  return r;
}

void FillEdgeBytes(OffsetArray<int8_t>& buffer, double startValue, int32_t startIndex,
                   double endValue, int32_t endIndex) {
  if (startIndex >= endIndex) return;
  double step = (endValue - startValue) / (endIndex - startIndex);
  double value = startValue;
  for (int32_t i = startIndex; i < endIndex; ++i) {
    buffer[i] = static_cast<int8_t>(Trunc(value));
    value = value + step;
  }
}

// The colour each depth stores for texel t; row is the shade row the 8-bit
// twin would use (-1: unshaded), background the pixel's old value.
void StorePixel(Canvas& canvas, int32_t pixelFormat, int32_t mode, int64_t x, int64_t y,
                uint8_t texel, int32_t row) {
  uint8_t* p = canvas.Pixel(x, y);
  if (pixelFormat == 0) {
    if (mode == 4) {
      p[0] = blendTable8[Table(p[0] * 256 + texel)];
    } else if (row < 0) {
      p[0] = texel;
    } else {
      p[0] = shadeTable8[Table(row * 256 + texel)];
    }
  } else if (pixelFormat == 1) {
    uint16_t value;
    if (mode == 4) {
      int32_t d = p[0] + 256 * p[1];
      int32_t lo = d & 0xFF;
      int32_t hi = d >> 8;
      value = static_cast<uint16_t>(blendLow16[Table(lo * 256 + texel)] +
                                    blendHigh16[Table(hi * 256 + texel)]);
    } else if (row < 0) {
      value = palette16[texel];
    } else {
      value = shadeRamp16[Table(row * 256 + texel)];
    }
    p[0] = static_cast<uint8_t>(value & 0xFF);
    p[1] = static_cast<uint8_t>(value >> 8);
  } else {
    uint32_t colour = row < 0 ? palette32[texel] : shadeRamp32[Table(row * 256 + texel)];
    p[0] = static_cast<uint8_t>(colour & 0xFF);
    p[1] = static_cast<uint8_t>((colour >> 8) & 0xFF);
    p[2] = static_cast<uint8_t>((colour >> 16) & 0xFF);
    if (pixelFormat == 3) p[3] = 0;
  }
}

uint8_t Texel(int32_t faceIndex, uint32_t texU, uint32_t texV) {
  return textures[faceIndex][((texV >> 16) & 127) * 128 + ((texU >> 16) & 127)];
}

void DrawInclined(State& st, Canvas& canvas, int32_t pixelFormat, int32_t faceIndex,
                  const CubeVertex c[4]) {
  const int32_t screenWidth = st.screenWidth, screenHeight = st.screenHeight;
  const int32_t centerX = st.centerX, centerY = st.centerY;
  double f = 3 * projectionScale;
  if (std::fabs(st.w.z) >= std::fabs(st.w.x)) {
    st.spanTop = screenHeight;
    st.spanBottom = 0;
    st.inclineSlope = st.w.z == 0 ? 0 : st.w.x / st.w.z;
    for (int32_t i = -centerX; i < centerX; ++i) {
      int32_t x = i + centerX;
      st.inclineStep[x] = Trunc(i * st.inclineSlope);
      st.inclineOffset[x] = x + st.inclineStep[x] * screenWidth;
    }
    int32_t s[4];
    for (int k = 0; k < 4; ++k) s[k] = c[k].screenY - st.inclineStep[c[k].screenX];
    for (int k = 0; k < 4; ++k) {
      int next = (k + 1) % 4;
      if (s[k] < s[next]) {
        FillEdge(st.rightX, c[k].screenX, s[k], c[next].screenX, s[next]);
      } else {
        FillEdge(st.leftX, c[next].screenX, s[next], c[k].screenX, s[k]);
      }
      if (s[k] < st.spanTop) st.spanTop = s[k];
      if (s[k] > st.spanBottom) st.spanBottom = s[k];
    }
    for (int32_t row = st.spanTop; row < st.spanBottom; ++row) {
      int32_t xL = st.leftX[row];
      int32_t xR = st.rightX[row];
      if (xR <= xL) continue;
      double dx = xL - centerX;
      double dy = centerY - (row + st.inclineStep[xL]);
      double W = st.w.x * dx + st.w.z * dy + st.w.y * f;
      double inv = 65536.0 / W;
      double V = st.v.x * dx + st.v.z * dy + st.v.y * f;
      double U = st.u.x * dx + st.u.z * dy + st.u.y * f;
      uint32_t texV = static_cast<uint32_t>(Trunc(inv * V + 327680.0));
      uint32_t texU = static_cast<uint32_t>(Trunc(inv * U + 327680.0));
      uint32_t stepV = static_cast<uint32_t>(Trunc(inv * (st.v.x - st.inclineSlope * st.v.z)));
      uint32_t stepU = static_cast<uint32_t>(Trunc(inv * (st.u.x - st.inclineSlope * st.u.z)));
      for (int32_t x = xL; x < xR; ++x) {
        int64_t index = int64_t{row} * screenWidth + st.inclineOffset[x];
        // The offset encodes (column, row) of the pixel; undo it for the canvas.
        int64_t y = row + st.inclineStep[x];
        if (index != y * screenWidth + x) throw std::logic_error("offset mismatch");
        StorePixel(canvas, pixelFormat, 0, x, y, Texel(faceIndex, texU, texV), -1);
        texV += stepV;
        texU += stepU;
      }
    }
  } else {
    st.spanTop = screenWidth;
    st.spanBottom = 0;
    st.inclineSlope = st.w.x == 0 ? 0 : st.w.z / st.w.x;
    for (int32_t i = -centerY; i < centerY; ++i) {
      st.inclineStep[i + centerY] = Trunc(i * st.inclineSlope);
    }
    int32_t s[4];
    for (int k = 0; k < 4; ++k) s[k] = c[k].screenX - st.inclineStep[c[k].screenY];
    for (int k = 0; k < 4; ++k) {
      int next = (k + 1) % 4;
      if (s[k] < s[next]) {
        FillEdge(st.leftX, c[k].screenY, s[k], c[next].screenY, s[next]);
      } else {
        FillEdge(st.rightX, c[next].screenY, s[next], c[k].screenY, s[k]);
      }
      if (s[k] < st.spanTop) st.spanTop = s[k];
      if (s[k] > st.spanBottom) st.spanBottom = s[k];
    }
    for (int32_t column = st.spanTop; column < st.spanBottom; ++column) {
      int32_t yT = st.leftX[column];
      int32_t yB = st.rightX[column];
      if (yB <= yT) continue;
      double dx = column + st.inclineStep[yT] - centerX;
      double dy = centerY - yT;
      double W = st.w.x * dx + st.w.z * dy + st.w.y * f;
      double inv = 65536.0 / W;
      double V = st.v.x * dx + st.v.z * dy + st.v.y * f;
      double U = st.u.x * dx + st.u.z * dy + st.u.y * f;
      uint32_t texV = static_cast<uint32_t>(Trunc(inv * V + 327680.0));
      uint32_t texU = static_cast<uint32_t>(Trunc(inv * U + 327680.0));
      uint32_t stepV = static_cast<uint32_t>(Trunc(inv * (st.inclineSlope * st.v.x - st.v.z)));
      uint32_t stepU = static_cast<uint32_t>(Trunc(inv * (st.inclineSlope * st.u.x - st.u.z)));
      for (int32_t y = yT; y < yB; ++y) {
        StorePixel(canvas, pixelFormat, 0, column + st.inclineStep[y], y,
                   Texel(faceIndex, texU, texV), -1);
        texV += stepV;
        texU += stepU;
      }
    }
  }
}

}  // namespace

void Canvas::Reset(int64_t l, int64_t t, int64_t w, int64_t h, int bpp, uint8_t fill) {
  left = l;
  top = t;
  width = w;
  height = h;
  bytesPerPixel = bpp;
  bytes.assign(static_cast<size_t>(w * h * bpp), fill);
}

uint8_t* Canvas::Pixel(int64_t x, int64_t y) {
  if (x < left || x >= left + width || y < top || y >= top + height) {
    throw std::out_of_range("pixel " + std::to_string(x) + "," + std::to_string(y));
  }
  return &bytes.at(static_cast<size_t>(((y - top) * width + (x - left)) * bytesPerPixel));
}

std::vector<uint8_t> Canvas::Screen(int64_t screenWidth, int64_t screenHeight) const {
  std::vector<uint8_t> out;
  for (int64_t y = 0; y < screenHeight; ++y) {
    for (int64_t x = 0; x < screenWidth; ++x) {
      for (int b = 0; b < bytesPerPixel; ++b) {
        out.push_back(
            bytes.at(static_cast<size_t>(((y - top) * width + (x - left)) * bytesPerPixel + b)));
      }
    }
  }
  return out;
}

void State::Resize(int64_t first, int64_t last) {
  for (auto* b : {&leftX, &rightX, &leftShade, &rightShade, &inclineStep, &inclineOffset}) {
    b->Resize(first, last);
  }
  for (auto* b : {&leftAzimuth, &rightAzimuth, &leftPolar, &rightPolar}) b->Resize(first, last);
}

void State::SetScreen(const RasterContext& ctx, int64_t first, int64_t last) {
  screenWidth = ctx.screenWidth;
  screenHeight = ctx.screenHeight;
  centerX = ctx.centerX;
  centerY = ctx.centerY;
  Resize(first, last);
}

void State::CopyFromRaster(const RasterContext& ctx, int64_t first, int64_t last) {
  SetScreen(ctx, first, last);
  for (int64_t i = std::max<int64_t>(first, 0); i < std::min<int64_t>(last, ctx.scanlineEntries);
       ++i) {
    leftX[i] = ctx.leftX[i];
    rightX[i] = ctx.rightX[i];
    leftShade[i] = ctx.leftShade[i];
    rightShade[i] = ctx.rightShade[i];
    leftAzimuth[i] = ctx.leftAzimuth[i];
    rightAzimuth[i] = ctx.rightAzimuth[i];
    leftPolar[i] = ctx.leftPolar[i];
    rightPolar[i] = ctx.rightPolar[i];
    inclineStep[i] = ctx.inclineStep[i];
    inclineOffset[i] = ctx.inclineOffset[i];
  }
  spanTop = ctx.spanTop;
  spanBottom = ctx.spanBottom;
  flatLevel = ctx.flatLevel;
  u = ctx.uVector;
  v = ctx.vVector;
  w = ctx.wVector;
  inclineSlope = ctx.inclineSlope;
}

void FillEdge(OffsetArray<int32_t>& buffer, double startValue, int32_t startIndex, double endValue,
              int32_t endIndex) {
  if (startIndex >= endIndex) return;
  double step = (endValue - startValue) / (endIndex - startIndex);
  double value = startValue;
  for (int32_t i = startIndex; i < endIndex; ++i) {
    buffer[i] = Trunc(value);
    value = value + step;
  }
}

void FillSpans(const State& st, Canvas& canvas, int32_t pixelFormat, int32_t mode,
               int32_t faceIndex) {
  State& s = const_cast<State&>(st);  // OffsetArray's operator[] is not const
  for (int32_t r = st.spanTop; r < st.spanBottom; ++r) {
    int32_t xL = s.leftX[r];
    int32_t n = s.rightX[r] - xL;
    if (n <= 0) continue;
    double dx = xL - st.centerX;
    double dy = st.centerY - r;
    double f = 3 * projectionScale;
    double W0 = st.w.x * dx + st.w.z * dy + st.w.y * f;
    double inv = 65536.0 / W0;
    double V0 = st.v.x * dx + st.v.z * dy + st.v.y * f;
    double U0 = st.u.x * dx + st.u.z * dy + st.u.y * f;
    uint32_t texV = static_cast<uint32_t>(Trunc(inv * V0 + 327680.0));
    uint32_t texU = static_cast<uint32_t>(Trunc(inv * U0 + 327680.0));
    double KV = W0 * st.v.x - V0 * st.w.x;
    double KU = W0 * st.u.x - U0 * st.w.x;
    double dW8 = 8.0 * st.w.x;
    double Wa = W0;
    double Wb = W0 + dW8;
    double sc = 65536.0 / (Wb * Wa);
    int32_t stepV = 0, stepU = 0;
    int32_t level = 0, levelStep = 0, az = 0, azStep = 0, pol = 0, polStep = 0;
    if (mode == 2) {
      level = (s.leftShade[r] + 128) * 65536;
      levelStep = ((s.rightShade[r] - s.leftShade[r]) * 65536) / n;
    } else if (mode == 3) {
      az = (s.leftAzimuth[r] + 128) * 65536;
      azStep = ((s.rightAzimuth[r] - s.leftAzimuth[r]) * 65536) / n;
      pol = (s.leftPolar[r] + 128) * 65536;
      polStep = ((s.rightPolar[r] - s.leftPolar[r]) * 65536) / n;
    }
    for (int32_t j = 0; j < n; ++j) {
      if (j % 8 == 0) {
        stepV = Round(sc * KV);
        stepU = Round(sc * KU);
        Wa = Wb;
        Wb = Wa + dW8;
        sc = 65536.0 / (Wb * Wa);
      }
      uint8_t t = Texel(faceIndex, texU, texV);
      int32_t row = -1;
      if (mode == 1) {
        row = st.flatLevel;
      } else if (mode == 2) {
        row = level >> 16;
        level += levelStep;
      } else if (mode == 3) {
        row = lightMap[Table(((az >> 16) & 255) * 256 + ((pol >> 16) & 255))];
        az += azStep;
        pol += polStep;
      }
      StorePixel(canvas, pixelFormat, mode, int64_t{xL} + j, r, t, row);
      texV += static_cast<uint32_t>(stepV);
      texU += static_cast<uint32_t>(stepU);
    }
  }
}

void DrawFace(State& st, Canvas& canvas, int32_t pixelFormat, int32_t faceIndex) {
  int32_t mode = shadingMode;
  if (pixelFormat >= 2 && mode > 3) return;
  CubeVertex c[4];
  for (int k = 0; k < 4; ++k) c[k] = cubeVertices[cubeFaces[faceIndex].corners[k]];
  int32_t dx1 = c[1].screenX - c[0].screenX;
  int32_t dy1 = c[1].screenY - c[0].screenY;
  int32_t dx3 = c[3].screenX - c[0].screenX;
  int32_t dy3 = c[3].screenY - c[0].screenY;
  double cross = static_cast<double>(dx1) * dy3 - static_cast<double>(dx3) * dy1;
  bool back = cross <= 0;
  if (back && (mode != 4 || pixelFormat >= 2)) return;

  st.u = Cross(c[1], c[0]);
  st.v = Cross(c[0], c[3]);
  Vector3 a = Cross(c[3], c[1]);
  Vector3 b = Cross(c[1], c[0]);
  Vector3 d = Cross(c[0], c[3]);
  st.w.x = (a.x + b.x + d.x) * 0.00847457627118644;
  st.w.y = (a.y + b.y + d.y) * 0.00847457627118644;
  st.w.z = (a.z + b.z + d.z) * 0.00847457627118644;

  if (mode == 5) {
    DrawInclined(st, canvas, pixelFormat, faceIndex, c);
    return;
  }

  st.spanTop = st.screenHeight;
  st.spanBottom = 0;
  for (int k = 0; k < 4; ++k) {
    const CubeVertex& A = c[k];
    const CubeVertex& B = c[(k + 1) % 4];
    int32_t yA = A.screenY;
    int32_t yB = B.screenY;
    if (yA < yB) {
      FillEdge(back ? st.leftX : st.rightX, A.screenX, yA, B.screenX, yB);
      if (mode == 2)
        FillEdge(back ? st.leftShade : st.rightShade, -73.0 * A.x, yA, -73.0 * B.x, yB);
      if (mode == 3) {
        FillEdgeBytes(back ? st.leftAzimuth : st.rightAzimuth, static_cast<int8_t>(A.azimuthIndex),
                      yA, static_cast<int8_t>(B.azimuthIndex), yB);
        FillEdgeBytes(back ? st.leftPolar : st.rightPolar, static_cast<int8_t>(A.polarIndex), yA,
                      static_cast<int8_t>(B.polarIndex), yB);
      }
    } else {
      FillEdge(back ? st.rightX : st.leftX, B.screenX, yB, A.screenX, yA);
      if (mode == 2)
        FillEdge(back ? st.rightShade : st.leftShade, -73.0 * B.x, yB, -73.0 * A.x, yA);
      if (mode == 3) {
        FillEdgeBytes(back ? st.rightAzimuth : st.leftAzimuth, static_cast<int8_t>(B.azimuthIndex),
                      yB, static_cast<int8_t>(A.azimuthIndex), yA);
        FillEdgeBytes(back ? st.rightPolar : st.leftPolar, static_cast<int8_t>(B.polarIndex), yB,
                      static_cast<int8_t>(A.polarIndex), yA);
      }
    }
    if (yA < st.spanTop) st.spanTop = yA;
    if (yA > st.spanBottom) st.spanBottom = yA;
  }
  if (mode == 1) st.flatLevel = Trunc(128.0 - 32.0 * (c[0].x + c[1].x + c[2].x + c[3].x));
  FillSpans(st, canvas, pixelFormat, mode, faceIndex);
}

}  // namespace reference
