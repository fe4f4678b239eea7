#include "scene/exact_math.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

// The constants come from scene/exact_math_constants.py: Chebyshev fits of
// the polynomial tails, and pi and friends to twice double precision.

namespace {

// A double's bits and back, as std::bit_cast would give them: libc++ 13 (the
// web build's) has no std::bit_cast.
uint64_t BitsOf(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

double FromBits(uint64_t bits) {
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

// A value as an unevaluated sum hi + lo with |lo| <= half an ulp of hi:
// about 106 significant bits.
struct Pair {
  double hi;
  double lo;
};

// hi + lo == a + b exactly.
Pair TwoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

// The same when |a| >= |b|.
Pair FastTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// hi + lo == a * b exactly (Dekker's product; no fused multiply-add).
Pair TwoProd(double a, double b) {
  constexpr double kSplitter = 134217729.0;  // 2^27 + 1
  const double ca = kSplitter * a;
  const double ah = ca - (ca - a);
  const double al = a - ah;
  const double cb = kSplitter * b;
  const double bh = cb - (cb - b);
  const double bl = b - bh;
  const double p = a * b;
  return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

Pair Add(Pair a, Pair b) {
  const Pair s = TwoSum(a.hi, b.hi);
  return FastTwoSum(s.hi, s.lo + a.lo + b.lo);
}

Pair Negate(Pair a) { return {-a.hi, -a.lo}; }

Pair Mul(Pair a, Pair b) {
  Pair p = TwoProd(a.hi, b.hi);
  p.lo += a.hi * b.lo + a.lo * b.hi;
  return FastTwoSum(p.hi, p.lo);
}

Pair Div(Pair a, Pair b) {
  const double q = a.hi / b.hi;
  const Pair rest = Add(a, Negate(Mul({q, 0.0}, b)));
  return FastTwoSum(q, rest.hi / b.hi);
}

Pair Sqrt(Pair a) {
  if (a.hi == 0.0) return {0.0, 0.0};
  const double h = std::sqrt(a.hi);
  const Pair square = TwoProd(h, h);
  return FastTwoSum(h, ((a.hi - square.hi) - square.lo + a.lo) / (2.0 * h));
}

constexpr Pair kPi = {3.141592653589793, 1.2246467991473532e-16};
constexpr Pair kHalfPi = {1.5707963267948966, 6.123233995736766e-17};
constexpr Pair kQuarterPi = {0.7853981633974483, 3.061616997868383e-17};

// --- Reduction by pi/2: x = q * pi/2 + r, |r| <= about pi/4 ----------------

struct Reduced {
  unsigned quadrant;  // q mod 4
  Pair r;
};

// pi/2 in three parts, the first two of 33 bits, so that n * part is exact
// for every n below 2^20.
constexpr double kHalfPi1 = 1.5707963267341256;
constexpr double kHalfPi2 = 6.077100506303966e-11;
constexpr double kHalfPi3 = 2.0222662487959506e-21;
constexpr double kTwoOverPi = 0.63661977236758138;

// 2/pi in binary, 32 bits a word, from the first bit after the point:
// enough for the exponent of the largest double.
constexpr uint32_t kTwoOverPiBits[40] = {
    0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599, 0x3C439041, 0xFE5163AB, 0xDEBBC561,
    0xB7246E3A, 0x424DD2E0, 0x06492EEA, 0x09D1921C, 0xFE1DEB1C, 0xB129A73E, 0xE88235F5, 0x2EBB4484,
    0xE99C7026, 0xB45F7E41, 0x3991D639, 0x835339F4, 0x9C845F8B, 0xBDF9283B, 0x1FF897FF, 0xDE05980F,
    0xEF2F118B, 0x5A0A6D1F, 0x6D367ECF, 0x27CB09B7, 0x4F463F66, 0x9E5FEA2D, 0x7527BAC7, 0xEBE5F17B,
    0x3D0739F7, 0x8A5292EA, 0x6BFB5FB1, 0x1F8D5D08, 0x56033046, 0xFC7B6BAB, 0xF0CFBC20, 0x9AF4361D};

// Reduction of a positive x >= pi/4 of any size in integer arithmetic
// (Payne and Hanek): x * 2/pi is formed with the bits of 2/pi that matter at
// x's exponent, exactly enough that the remainder keeps full precision even
// for the doubles closest to a multiple of pi/2.
Reduced ReduceLarge(double x) {
  const uint64_t bits = BitsOf(x);
  const int exponent = static_cast<int>(bits >> 52);  // x is normal here
  const uint64_t mantissa = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
  const int e = exponent - 1075;  // x = mantissa * 2^e
  // Words of 2/pi before k0 only add multiples of 4 to x * 2/pi.
  const int k0 = e >= 2 ? (e - 2) / 32 : 0;
  constexpr int kWords = 8;
  // product = mantissa * (words k0 .. k0+7 as one integer), little-endian.
  // Two limbs more for the mantissa's 53 bits, one of zeros above them.
  uint32_t product[kWords + 3] = {};
  const uint64_t m[2] = {mantissa & 0xFFFFFFFF, mantissa >> 32};
  for (int j = 0; j < kWords; ++j) {
    const uint64_t word = kTwoOverPiBits[k0 + kWords - 1 - j];
    uint64_t carry = 0;
    for (int i = 0; i < 2; ++i) {
      const uint64_t t = word * m[i] + product[i + j] + carry;
      product[i + j] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    for (int i = j + 2; carry != 0 && i < kWords + 3; ++i) {
      const uint64_t t = uint64_t{product[i]} + carry;
      product[i] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
  }
  // The units bit of x * 2/pi lies at bit s of the product: 223 <= s <= 309.
  const int s = 32 * (k0 + kWords) - e;
  const auto bitsAt = [&product](int at) {  // the 32 bits from bit `at` up
    const int limb = at / 32;
    const int shift = at % 32;
    uint32_t v = product[limb] >> shift;
    if (shift != 0) v |= product[limb + 1] << (32 - shift);
    return v;
  };
  unsigned quadrant = bitsAt(s) & 3;
  bool negative = false;
  if (bitsAt(s - 1) & 1) {  // fraction >= 1/2: round up, remainder negative
    ++quadrant;
    negative = true;
    uint64_t borrow = 1;  // two's complement of the whole product
    for (uint32_t& limb : product) {
      const uint64_t t = uint64_t{static_cast<uint32_t>(~limb)} + borrow;
      limb = static_cast<uint32_t>(t);
      borrow = t >> 32;
    }
  }
  // The fraction's top 192 bits, smallest part first.
  Pair fraction = {0.0, 0.0};
  double scale = 1.0;
  for (int i = 0; i < 6; ++i) scale *= 0x1p-32;
  for (int i = 5; i >= 0; --i) {
    fraction = Add(fraction, {static_cast<double>(bitsAt(s - 32 * (i + 1))) * scale, 0.0});
    scale *= 0x1p32;
  }
  const Pair r = Mul(fraction, kHalfPi);
  return {quadrant & 3, negative ? Negate(r) : r};
}

Reduced Reduce(double x) {
  const double ax = std::fabs(x);
  Reduced result{0, {ax, 0.0}};
  if (ax > 0.78539816339744828) {
    bool done = false;
    if (ax < 0x1p20) {
      // Cody and Waite: n * pi/2 taken off in parts, the first exactly.
      const double n = std::floor(ax * kTwoOverPi + 0.5);
      const double t = ax - n * kHalfPi1;
      const Pair t2 = TwoSum(t, -(n * kHalfPi2));
      const Pair p3 = TwoProd(n, kHalfPi3);
      const Pair t3 = TwoSum(t2.hi, -p3.hi);
      result.r = FastTwoSum(t3.hi, t3.lo + t2.lo - p3.lo);
      result.quadrant = static_cast<unsigned>(n) & 3;
      // Near a multiple of pi/2 the parts are not precise enough.
      done = std::fabs(result.r.hi) >= 0x1p-20;
    }
    if (!done) result = ReduceLarge(ax);
  }
  if (x < 0) {
    result.quadrant = (4 - result.quadrant) & 3;
    result.r = Negate(result.r);
  }
  return result;
}

// --- Kernels on |r| <= about pi/4 ----------------------------------------

constexpr Pair kMinusSixth = {-0.16666666666666666, -9.25185853854297e-18};
constexpr Pair kTwentyFourth = {0.041666666666666664, 2.3129646346357427e-18};

// (sin x - x + x^3/6) / x^5 as a polynomial in z = x^2.
double SinTail(double z) {
  return 0.0083333333333333332 +
         z * (-0.00019841269841268941 +
              z * (2.7557319222290954e-06 +
                   z * (-2.5052107218719517e-08 +
                        z * (1.6058680729167312e-10 + z * -7.5950479817165396e-13))));
}

// (cos x - 1 + x^2/2 - x^4/24) / x^6 as a polynomial in z = x^2.
double CosTail(double z) {
  return -0.0013888888888888889 +
         z * (2.48015873015868e-05 +
              z * (-2.755731922304376e-07 +
                   z * (2.087675633936405e-09 +
                        z * (-1.1470543780509769e-11 + z * 4.7505143028086113e-14))));
}

// The two leading terms are formed to twice double precision, so the only
// sizeable error is the final rounding.
double SinKernel(Pair r) {
  const double x = r.hi;
  const Pair z = TwoProd(x, x);
  Pair cube = TwoProd(x, z.hi);
  cube.lo += x * z.lo;
  Pair third = TwoProd(cube.hi, kMinusSixth.hi);
  third.lo += cube.hi * kMinusSixth.lo + cube.lo * kMinusSixth.hi;
  const double rest = cube.hi * z.hi * SinTail(z.hi);
  // sin(x + lo) = sin x + lo cos x, near enough.
  const double tail = third.lo + rest + r.lo * (1.0 - z.hi * (0.5 - z.hi * (1.0 / 24)));
  const Pair head = FastTwoSum(x, third.hi);
  return head.hi + (head.lo + tail);
}

double CosKernel(Pair r) {
  const double x = r.hi;
  const Pair z = TwoProd(x, x);
  const double half = 0.5 * z.hi;
  const Pair head = FastTwoSum(1.0, -half);
  Pair z2 = TwoProd(z.hi, z.hi);
  z2.lo += 2.0 * z.hi * z.lo;
  Pair fourth = TwoProd(z2.hi, kTwentyFourth.hi);
  fourth.lo += z2.hi * kTwentyFourth.lo + z2.lo * kTwentyFourth.hi;
  const double rest = z2.hi * z.hi * CosTail(z.hi);
  // cos(x + lo) = cos x - lo sin x, near enough.
  const double tail = head.lo - 0.5 * z.lo + fourth.lo + rest - r.lo * x * (1.0 - z.hi * (1.0 / 6));
  const Pair sum = FastTwoSum(head.hi, fourth.hi);
  return sum.hi + (sum.lo + tail);
}

// --- Arc tangent ----------------------------------------------------------

// atan(k/8), k = 0..8.
constexpr Pair kAtanOfEighths[9] = {
    {0.0, 0.0},
    {0.12435499454676144, -3.1253241424539383e-18},
    {0.24497866312686414, 1.0698755618734451e-17},
    {0.35877067027057225, -2.4623815582638635e-17},
    {0.4636476090008061, 2.2698777452961687e-17},
    {0.5585993153435624, -5.4556305485916264e-18},
    {0.6435011087932844, 1.5834785051444286e-17},
    {0.7188299996216245, -2.1478388444456983e-17},
    {0.7853981633974483, 3.061616997868383e-17},
};

// (atan u - u + u^3/3) / u^5 as a polynomial in w = u^2, |u| <= 1/16.
double AtanTail(double w) {
  return 0.19999999999999987 +
         w * (-0.14285714285563933 +
              w * (0.11111110803105388 + w * (-0.090906881578176876 + w * 0.076275600195625862)));
}

// atan(num / den) in [0, pi/2] for positive num and den whose sizes keep
// every product below in the normal range.
Pair AtanOfQuotient(Pair num, Pair den) {
  const bool inverted = num.hi > den.hi;  // then atan(t) = pi/2 - atan(1/t)
  if (inverted) std::swap(num, den);
  Pair angle;
  const double rough = num.hi / den.hi;
  if (rough < 0x1p-27) {
    angle = {rough, 0.0};  // atan t = t (1 - t^2/3 ...) rounds to t here
  } else {
    const Pair t = Div(num, den);
    // atan t = atan c + atan u, u = (t - c) / (1 + t c), c the nearest eighth.
    const double c = std::floor(t.hi * 8.0 + 0.5) / 8.0;
    const Pair u = Div(Add(t, {-c, 0.0}), Add({1.0, 0.0}, Mul(t, {c, 0.0})));
    const double w = u.hi * u.hi;
    const double small = u.hi * w * (-0.33333333333333331 + w * AtanTail(w));
    angle = Add(kAtanOfEighths[static_cast<int>(c * 8.0)], FastTwoSum(u.hi, u.lo + small));
  }
  return inverted ? Add(kHalfPi, Negate(angle)) : angle;
}

// Both scaled by the same power of two into a range where the error-free
// products of AtanOfQuotient stay exact; the quotient is unchanged.
void ScaleTogether(double& a, double& b) {
  const double larger = std::fmax(a, b);
  if (larger > 0x1p990) {
    a *= 0x1p-600;
    b *= 0x1p-600;
  } else if (larger < 0x1p-900) {
    a *= 0x1p600;
    b *= 0x1p600;
  }
}

double PlainPower(double x, unsigned n) {
  double result = 1.0;
  for (;;) {
    if (n & 1) result *= x;
    n >>= 1;
    if (n == 0) return result;
    x *= x;
  }
}

// A pair times 2^e, with a value in [0.5, 1) in magnitude and its exponent
// apart, so that no power overflows or underflows before the end.
struct ScaledPair {
  Pair value;
  int64_t exponent;
};

ScaledPair Normalized(Pair value, int64_t exponent) {
  // Products of two values in [0.5, 1) lie in [0.25, 1).
  if (std::fabs(value.hi) < 0.5) return {{value.hi * 2.0, value.lo * 2.0}, exponent - 1};
  return {value, exponent};
}

ScaledPair Times(const ScaledPair& a, const ScaledPair& b) {
  return Normalized(Mul(a.value, b.value), a.exponent + b.exponent);
}

// v * 2^e, rounded once at most.
double TimesPowerOfTwo(double v, int64_t e) {
  for (; e > 1000; e -= 1000) v *= 0x1p1000;
  for (; e < -1000; e += 1000) v *= 0x1p-1000;
  return v * FromBits(static_cast<uint64_t>(e + 1023) << 52);
}

}  // namespace

double Sin(double x) {
  if (!(std::fabs(x) <= std::numeric_limits<double>::max())) return x - x;  // NaN
  if (std::fabs(x) < 0x1p-26) return x;                                     // x - x^3/6 rounds to x
  const Reduced reduced = Reduce(x);
  switch (reduced.quadrant) {
    case 0: return SinKernel(reduced.r);
    case 1: return CosKernel(reduced.r);
    case 2: return -SinKernel(reduced.r);
    default: return -CosKernel(reduced.r);
  }
}

double Cos(double x) {
  if (!(std::fabs(x) <= std::numeric_limits<double>::max())) return x - x;  // NaN
  if (std::fabs(x) < 0x1p-27) return 1.0;                                   // 1 - x^2/2 rounds to 1
  const Reduced reduced = Reduce(x);
  switch (reduced.quadrant) {
    case 0: return CosKernel(reduced.r);
    case 1: return -SinKernel(reduced.r);
    case 2: return -CosKernel(reduced.r);
    default: return SinKernel(reduced.r);
  }
}

double Atan2(double y, double x) {
  if (std::isnan(x) || std::isnan(y)) return x + y;
  double ay = std::fabs(y);
  double ax = std::fabs(x);
  const bool left = std::signbit(x);
  Pair angle;  // in [0, pi], for y >= 0
  if (ay == 0.0) {
    angle = left ? kPi : Pair{0.0, 0.0};
  } else if (std::isinf(ay)) {
    angle = std::isinf(ax) ? (left ? Add(kPi, Negate(kQuarterPi)) : kQuarterPi) : kHalfPi;
  } else if (std::isinf(ax)) {
    angle = left ? kPi : Pair{0.0, 0.0};
  } else if (ax == 0.0) {
    angle = kHalfPi;
  } else {
    ScaleTogether(ay, ax);
    angle = AtanOfQuotient({ay, 0.0}, {ax, 0.0});
    if (left) angle = Add(kPi, Negate(angle));
  }
  const double result = angle.hi + angle.lo;
  return std::signbit(y) ? -result : result;
}

double Acos(double x) {
  if (std::isnan(x)) return x + x;
  if (!(std::fabs(x) <= 1.0)) return std::numeric_limits<double>::quiet_NaN();
  if (x == 0.0) return kHalfPi.hi;
  // acos x = atan(sqrt(1 - x^2) / x), with 1 - x^2 = (1 - x)(1 + x) formed
  // exactly, so that arguments near 1 and -1 keep their precision.
  const Pair root = Sqrt(Mul(TwoSum(1.0, -x), TwoSum(1.0, x)));
  if (root.hi == 0.0) return x > 0 ? 0.0 : kPi.hi;
  Pair angle = AtanOfQuotient(root, {std::fabs(x), 0.0});
  if (x < 0) angle = Add(kPi, Negate(angle));
  return angle.hi + angle.lo;
}

double IntPower(double x, unsigned n) {
  if (n == 0) return 1.0;
  // Zero, infinity and NaN need no care for precision.
  if (x == 0.0 || !(std::fabs(x) <= std::numeric_limits<double>::max())) return PlainPower(x, n);
  // x = m * 2^e with |m| in [0.5, 1), exactly.
  int64_t e = 0;
  double m = x;
  if (std::fabs(m) < 0x1p-1000) {
    m *= 0x1p100;
    e -= 100;
  }
  const uint64_t bits = BitsOf(m);
  e += static_cast<int64_t>((bits >> 52) & 0x7FF) - 1022;
  m = FromBits((bits & ~(uint64_t{0x7FF} << 52)) | (uint64_t{1022} << 52));
  ScaledPair base = {{m, 0.0}, e};
  ScaledPair result = {{1.0, 0.0}, 0};
  bool first = true;
  for (unsigned k = n;;) {
    if (k & 1) {
      result = first ? base : Times(result, base);
      first = false;
    }
    k >>= 1;
    if (k == 0) break;
    base = Times(base, base);
  }
  // Far beyond the double range either way: infinity or zero, with the sign.
  const int64_t clamped = std::clamp<int64_t>(result.exponent, -1200, 1200);
  return TimesPowerOfTwo(result.value.hi + result.value.lo, clamped);
}
