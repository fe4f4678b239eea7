#include "scene/frame_bands.h"

#include <algorithm>
#include <numeric>

namespace {

struct Point {
  double x, y;
};

// A row's drawing besides its pixels (the set-up of each face's span on it),
// counted in pixels.
constexpr double kRowCost = 16;
// Rows of the outline measured: finer than any thread count needs.
constexpr int32_t kSamples = 32;

double Turn(const Point& o, const Point& a, const Point& b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// The convex hull of the eight corners (monotone chain), in order; returns
// its number of points.
int32_t Hull(const CubeVertex corners[8], Point hull[16]) {
  Point p[8];
  for (int32_t i = 0; i < 8; ++i) {
    p[i] = {static_cast<double>(corners[i].screenX), static_cast<double>(corners[i].screenY)};
  }
  std::sort(p, p + 8,
            [](const Point& a, const Point& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
  int32_t k = 0;
  for (int32_t i = 0; i < 8; ++i) {
    while (k >= 2 && Turn(hull[k - 2], hull[k - 1], p[i]) <= 0) --k;
    hull[k++] = p[i];
  }
  for (int32_t i = 6, lower = k + 1; i >= 0; --i) {
    while (k >= lower && Turn(hull[k - 2], hull[k - 1], p[i]) <= 0) --k;
    hull[k++] = p[i];
  }
  return k - 1;  // the first point closes the loop
}

void EvenSplit(int32_t height, int32_t count, int32_t* starts) {
  for (int32_t k = 0; k <= count; ++k)
    starts[k] = static_cast<int32_t>(int64_t{height} * k / count);
}

}  // namespace

void SplitFrameRows(const CubeVertex corners[8], int32_t height, int64_t rowBytes, int32_t count,
                    int32_t* starts) {
  count = std::max(count, int32_t{1});
  height = std::max(height, int32_t{0});
  int32_t top = height, bottom = 0;
  for (int32_t i = 0; i < 8; ++i) {
    top = std::min(top, corners[i].screenY);
    bottom = std::max(bottom, corners[i].screenY);
  }
  top = std::clamp(top, int32_t{0}, height);
  bottom = std::clamp(bottom, int32_t{0}, height);
  Point hull[16];
  const int32_t points = Hull(corners, hull);
  if (count == 1 || bottom - top < count || points < 3) {
    EvenSplit(height, count, starts);
    return;
  }

  // Each edge of the outline as x = x0 + (y - y0) * dxdy over [yLow, yHigh].
  struct Edge {
    double yLow, yHigh, x0, y0, dxdy;
  };
  Edge edges[16];
  int32_t edgeCount = 0;
  for (int32_t i = 0; i < points; ++i) {
    const Point& a = hull[i];
    const Point& b = hull[(i + 1) % points];
    if (a.y == b.y) continue;
    edges[edgeCount++] = {std::min(a.y, b.y), std::max(a.y, b.y), a.x, a.y,
                          (b.x - a.x) / (b.y - a.y)};
  }

  const int32_t rows = bottom - top;
  const int32_t samples = std::min(kSamples, rows);
  double sum[kSamples + 1] = {0};
  for (int32_t k = 0; k < samples; ++k) {
    const int32_t r0 = top + static_cast<int32_t>(int64_t{rows} * k / samples);
    const int32_t r1 = top + static_cast<int32_t>(int64_t{rows} * (k + 1) / samples);
    const double y = 0.5 * (r0 + r1 - 1);
    double left = 0, right = 0;
    bool any = false;
    for (int32_t e = 0; e < edgeCount; ++e) {
      const Edge& edge = edges[e];
      if (y < edge.yLow || y > edge.yHigh) continue;
      const double x = edge.x0 + (y - edge.y0) * edge.dxdy;
      left = any ? std::min(left, x) : x;
      right = any ? std::max(right, x) : x;
      any = true;
    }
    sum[k + 1] = sum[k] + (right - left + kRowCost) * (r1 - r0);
  }

  // Cuts on rows that start a cache line, where every few rows do.
  const int64_t lineBytes = 64;
  const int64_t align = lineBytes / std::gcd(rowBytes > 0 ? rowBytes : 1, lineBytes);
  starts[0] = 0;
  starts[count] = height;
  int32_t k = 0;
  for (int32_t j = 1; j < count; ++j) {
    const double target = sum[samples] * j / count;
    while (k + 1 < samples && sum[k + 1] < target) ++k;
    const int32_t r0 = top + static_cast<int32_t>(int64_t{rows} * k / samples);
    const int32_t r1 = top + static_cast<int32_t>(int64_t{rows} * (k + 1) / samples);
    const double share = sum[k + 1] > sum[k] ? (target - sum[k]) / (sum[k + 1] - sum[k]) : 0.0;
    int64_t cut = r0 + static_cast<int64_t>(share * (r1 - r0) + 0.5);
    if (align > 1 && align <= 8) cut = (cut + align / 2) / align * align;
    starts[j] = static_cast<int32_t>(std::clamp<int64_t>(cut, starts[j - 1], height));
  }
}
