#include "scene/exact_math.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Distance in units in the last place, across zero and binades alike.
int64_t UlpDistance(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b) ? 0 : INT64_MAX;
  const auto ordered = [](double v) {
    int64_t i;
    std::memcpy(&i, &v, sizeof i);
    return i < 0 ? INT64_MIN - i : i;
  };
  const int64_t d = ordered(a) - ordered(b);
  return d < 0 ? -d : d;
}

// Our function against the C library's over many arguments: the largest
// difference in ulps and how often they differ at all, printed for the log.
class Comparison {
 public:
  explicit Comparison(std::string name) : name_(std::move(name)) {}
  ~Comparison() {
    const double percent = 100.0 * static_cast<double>(differing_) / static_cast<double>(count_);
    std::printf("%-34s %9ld values, max %lld ulp, %7ld differ (%.3f%%)\n", name_.c_str(), count_,
                static_cast<long long>(largest_), differing_, percent);
    testing::Test::RecordProperty(name_ + " max ulp", std::to_string(largest_));
    EXPECT_LE(largest_, 1) << name_ << ", worst at " << worstX_ << ", " << worstY_;
  }
  void Add(double ours, double library, double x, double y = 0) {
    const int64_t d = UlpDistance(ours, library);
    ++count_;
    if (d != 0) ++differing_;
    if (d > largest_) {
      largest_ = d;
      worstX_ = x;
      worstY_ = y;
    }
  }

 private:
  std::string name_;
  long count_ = 0;
  long differing_ = 0;
  int64_t largest_ = 0;
  double worstX_ = 0, worstY_ = 0;
};

double RandomFinite(std::mt19937_64& random) {
  for (;;) {
    const uint64_t bits = random();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (std::isfinite(v)) return v;
  }
}

// The comparisons hold against glibc's libm, whose results are within about
// half an ulp; other C libraries are looser.
#if defined(__GLIBC__)
#define SKIP_UNLESS_GLIBC()
#else
#define SKIP_UNLESS_GLIBC() GTEST_SKIP() << "compared with glibc's libm only"
#endif

void ExpectSameBits(double a, double b) {
  EXPECT_EQ(UlpDistance(a, b), 0) << a << " vs " << b;
  EXPECT_EQ(std::signbit(a), std::signbit(b)) << a << " vs " << b;
}

TEST(ExactMath, UsesPlainDoubleArithmetic) {
  // With wider intermediates (the x87) the error-free sums and products,
  // and so every result, would differ.
  EXPECT_EQ(FLT_EVAL_METHOD, 0);
}

TEST(ExactMath, SineAndCosineOverTheSceneAngles) {
  SKIP_UNLESS_GLIBC();
  {
    // Rotation angles: the speeds the keypad reaches and everything between.
    Comparison sine("Sin, rotation angles"), cosine("Cos, rotation angles");
    for (int i = -200000; i <= 200000; ++i) {
      const double x = i * 1e-6;
      sine.Add(Sin(x), std::sin(x), x);
      cosine.Add(Cos(x), std::cos(x), x);
    }
  }
  {
    // The light map's angles, and the whole turn around them.
    Comparison sine("Sin, light map"), cosine("Cos, light map");
    for (int a = -128; a < 128; ++a) {
      const double x = a * 0.02454296875;
      const double t = a * 0.012271484375;
      sine.Add(Sin(x), std::sin(x), x);
      cosine.Add(Cos(x), std::cos(x), x);
      cosine.Add(Cos(t), std::cos(t), t);
    }
    for (int i = -500000; i <= 500000; ++i) {
      const double x = i * (3.2 / 500000);
      sine.Add(Sin(x), std::sin(x), x);
      cosine.Add(Cos(x), std::cos(x), x);
    }
  }
}

TEST(ExactMath, SineAndCosineOfAnySize) {
  SKIP_UNLESS_GLIBC();
  std::mt19937_64 random(8);
  Comparison sine("Sin, any double"), cosine("Cos, any double");
  for (int i = 0; i < 300000; ++i) {
    const double x = RandomFinite(random);
    sine.Add(Sin(x), std::sin(x), x);
    cosine.Add(Cos(x), std::cos(x), x);
  }
  std::uniform_real_distribution<double> moderate(-1e7, 1e7);
  for (int i = 0; i < 300000; ++i) {
    const double x = moderate(random);
    sine.Add(Sin(x), std::sin(x), x);
    cosine.Add(Cos(x), std::cos(x), x);
  }
}

TEST(ExactMath, SineAndCosineKnownValues) {
  // Correctly rounded values, worked out to thousands of bits elsewhere.
  EXPECT_EQ(Sin(1e22), -0.8522008497671888);
  EXPECT_EQ(Cos(1e22), 0.523214785395139);
  EXPECT_EQ(Sin(3.141592653589793), 1.2246467991473532e-16);
  EXPECT_EQ(Cos(3.141592653589793), -1.0);
  EXPECT_EQ(Cos(1.5707963267948966), 6.123233995736766e-17);
  EXPECT_EQ(Sin(0.5235987755982988), 0.49999999999999994);
  EXPECT_EQ(Sin(0.03), 0.02999550020249566);
  EXPECT_EQ(Cos(0.03), 0.9995500337489875);
  EXPECT_EQ(Sin(DBL_MAX), 0.004961954789184062);
  EXPECT_EQ(Cos(DBL_MAX), -0.9999876894265599);
  // The double nearest a multiple of pi/2: the remainder is about 2^-61.
  const double hard = 0x1.6ac5b262ca1ffp+849;
  EXPECT_EQ(Sin(hard), 1.0);
  EXPECT_EQ(Cos(hard), -4.687165924254628e-19);
}

TEST(ExactMath, SineAndCosineSpecialValues) {
  ExpectSameBits(Sin(0.0), 0.0);
  ExpectSameBits(Sin(-0.0), -0.0);
  ExpectSameBits(Sin(1e-300), 1e-300);
  ExpectSameBits(Sin(-4.9e-324), -4.9e-324);
  EXPECT_EQ(Cos(0.0), 1.0);
  EXPECT_EQ(Cos(-0.0), 1.0);
  EXPECT_EQ(Cos(1e-300), 1.0);
  for (const double bad : {kInf, -kInf, kNaN}) {
    EXPECT_TRUE(std::isnan(Sin(bad)));
    EXPECT_TRUE(std::isnan(Cos(bad)));
  }
  // Odd and even, bit for bit.
  std::mt19937_64 random(3);
  for (int i = 0; i < 10000; ++i) {
    const double x = RandomFinite(random);
    ExpectSameBits(Sin(-x), -Sin(x));
    ExpectSameBits(Cos(-x), Cos(x));
  }
}

TEST(ExactMath, ArcTangentOverTheCorners) {
  SKIP_UNLESS_GLIBC();
  // Corners stay within sqrt(3) of (0, 3, 0): depth y in [3 - sqrt 3, 3 + sqrt 3].
  Comparison scene("Atan2, corner directions");
  const double r = 1.7320508075688772;
  for (int i = 0; i <= 1000; ++i) {
    for (int j = 0; j <= 1000; ++j) {
      const double y = 3 - r + 2 * r * i / 1000;
      const double x = -r + 2 * r * j / 1000;
      scene.Add(Atan2(y, x), std::atan2(y, x), y, x);
    }
  }
}

TEST(ExactMath, ArcTangentOfAnyPair) {
  SKIP_UNLESS_GLIBC();
  std::mt19937_64 random(10);
  Comparison wide("Atan2, any doubles"), unit("Atan2, unit square");
  std::uniform_real_distribution<double> square(-1, 1);
  for (int i = 0; i < 300000; ++i) {
    const double y = RandomFinite(random), x = RandomFinite(random);
    wide.Add(Atan2(y, x), std::atan2(y, x), y, x);
    const double v = square(random), u = square(random);
    unit.Add(Atan2(v, u), std::atan2(v, u), v, u);
  }
}

TEST(ExactMath, ArcTangentSpecialValues) {
  const double pi = 3.141592653589793;
  EXPECT_EQ(Atan2(1.0, 1.0), 0.7853981633974483);
  EXPECT_EQ(Atan2(3.0, -1.0), 1.892546881191539);
  EXPECT_EQ(Atan2(2.0, 1e-300), 1.5707963267948966);
  EXPECT_EQ(Atan2(1e-300, -1.0), pi);
  // The signs and limits of the C library's atan2.
  struct Case {
    double y, x, expected;
  };
  const Case cases[] = {
      {0.0, 1.0, 0.0},
      {-0.0, 1.0, -0.0},
      {0.0, -1.0, pi},
      {-0.0, -1.0, -pi},
      {0.0, 0.0, 0.0},
      {-0.0, 0.0, -0.0},
      {0.0, -0.0, pi},
      {-0.0, -0.0, -pi},
      {1.0, 0.0, pi / 2},
      {-1.0, -0.0, -pi / 2},
      {kInf, 1.0, pi / 2},
      {-kInf, -1.0, -pi / 2},
      {1.0, kInf, 0.0},
      {-1.0, kInf, -0.0},
      {1.0, -kInf, pi},
      {-1.0, -kInf, -pi},
      {kInf, kInf, pi / 4},
      {-kInf, kInf, -pi / 4},
      {kInf, -kInf, 2.356194490192345},
      {-kInf, -kInf, -2.356194490192345},
      {DBL_MAX, DBL_MAX, pi / 4},
      {4.9e-324, 4.9e-324, pi / 4},
      {DBL_MAX, 4.9e-324, pi / 2},
      {4.9e-324, DBL_MAX, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "Atan2(" << c.y << ", " << c.x << ")");
    ExpectSameBits(Atan2(c.y, c.x), c.expected);
  }
  EXPECT_TRUE(std::isnan(Atan2(kNaN, 1.0)));
  EXPECT_TRUE(std::isnan(Atan2(1.0, kNaN)));
  EXPECT_TRUE(std::isnan(Atan2(kNaN, kInf)));
}

TEST(ExactMath, ArcCosineOverItsDomain) {
  SKIP_UNLESS_GLIBC();
  Comparison whole("Acos, [-1, 1]"), ends("Acos, next to -1 and 1");
  for (int i = -1000000; i <= 1000000; ++i) {
    const double x = i / 1e6;
    whole.Add(Acos(x), std::acos(x), x);
  }
  std::mt19937_64 random(4);
  std::uniform_real_distribution<double> exponent(-60, 0);
  for (int i = 0; i < 200000; ++i) {
    const double x = 1 - std::exp2(exponent(random));
    ends.Add(Acos(x), std::acos(x), x);
    ends.Add(Acos(-x), std::acos(-x), -x);
  }
}

TEST(ExactMath, ArcCosineSpecialValues) {
  EXPECT_EQ(Acos(0.5), 1.0471975511965979);
  EXPECT_EQ(Acos(-0.5), 2.0943951023931957);
  EXPECT_EQ(Acos(0.1), 1.4706289056333368);
  EXPECT_EQ(Acos(1e-20), 1.5707963267948966);
  EXPECT_EQ(Acos(0x1.fffffffffffffp-1), 1.4901161193847656e-08);
  EXPECT_EQ(Acos(-0x1.fffffffffffffp-1), 3.141592638688632);
  ExpectSameBits(Acos(1.0), 0.0);
  EXPECT_EQ(Acos(-1.0), 3.141592653589793);
  EXPECT_EQ(Acos(0.0), 1.5707963267948966);
  EXPECT_EQ(Acos(-0.0), 1.5707963267948966);
  for (const double bad : {1.0000000000000002, -1.0000000000000002, 2.0, kInf, -kInf, kNaN})
    EXPECT_TRUE(std::isnan(Acos(bad))) << bad;
}

TEST(ExactMath, TenthPowerOverTheLightMap) {
  SKIP_UNLESS_GLIBC();
  Comparison power("IntPower(x, 10), [0, 1]");
  for (int i = 0; i <= 2000000; ++i) {
    const double x = i / 2e6;
    power.Add(IntPower(x, 10), std::pow(x, 10), x);
  }
}

TEST(ExactMath, IntegerPowersOfAnyDouble) {
#if defined(__GLIBC__)
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> exponent(-40, 40);
  std::uniform_int_distribution<int> power(0, 60);
  Comparison wide("IntPower, wide");
  for (int i = 0; i < 300000; ++i) {
    const double x = std::exp2(exponent(random)) * (random() & 1 ? -1 : 1);
    const unsigned n = static_cast<unsigned>(power(random));
    const double expected = std::pow(x, n);
    // Subnormal results have fewer bits; they are checked by value below.
    if (std::isnormal(expected) || expected == 0 || std::isinf(expected))
      wide.Add(IntPower(x, n), expected, x, n);
  }
#endif
  EXPECT_EQ(IntPower(0.9, 10), 0.3486784401000001);
  EXPECT_EQ(IntPower(1.0000001, 1000), 1.0001000049952247);
  EXPECT_EQ(IntPower(3.0, 40), 1.2157665459056929e+19);
  EXPECT_EQ(IntPower(0.5, 1074), 4.9e-324);
  EXPECT_EQ(IntPower(0.5, 1080), 0.0);
  EXPECT_EQ(IntPower(2.0, 1024), kInf);
  EXPECT_EQ(IntPower(-2.0, 1025), -kInf);
  ExpectSameBits(IntPower(-1e-200, 3), -0.0);
  EXPECT_EQ(IntPower(-2.0, 3), -8.0);
  EXPECT_EQ(IntPower(1e-300, 1), 1e-300);
  EXPECT_EQ(IntPower(4.9e-324, 1), 4.9e-324);
  EXPECT_EQ(IntPower(kNaN, 0), 1.0);
  EXPECT_EQ(IntPower(0.0, 0), 1.0);
  EXPECT_TRUE(std::isnan(IntPower(kNaN, 3)));
  EXPECT_EQ(IntPower(kInf, 3), kInf);
  EXPECT_EQ(IntPower(-kInf, 3), -kInf);
  EXPECT_EQ(IntPower(-kInf, 2), kInf);
  ExpectSameBits(IntPower(-0.0, 3), -0.0);
  ExpectSameBits(IntPower(-0.0, 2), 0.0);
}

}  // namespace
