#!/usr/bin/env python3
"""Prints the constants of exact_math.cpp: Chebyshev fits of the polynomial
tails, values to twice double precision, the parts of pi/2 and the bits of
2/pi. Needs mpmath (pip install mpmath); only for remaking the constants."""
import mpmath as mp

mp.mp.prec = 300


def pair(x):
    hi = float(x)
    return hi, float(x - mp.mpf(hi))


def fit(name, f, top, degree):
    """Fits f on [0, top]; prints the coefficients, constant term first, and
    the largest relative error with them rounded to doubles."""
    poly = mp.chebyfit(f, [0, top], degree + 1)
    coefficients = [float(c) for c in poly]
    worst = 0
    for i in range(4001):
        x = top * i / 4000
        value = mp.mpf(0)
        for c in coefficients:
            value = value * x + mp.mpf(c)
        worst = max(worst, abs(value / f(x) - 1))
    print(f"{name}: relative error {float(worst):.3g}")
    for c in reversed(coefficients):
        print(f"  {c!r}")


def sin_tail(z):  # (sin x - x + x^3/6) / x^5, z = x^2
    if z == 0:
        return mp.mpf(1) / 120
    x = mp.sqrt(z)
    return (mp.sin(x) - x + x**3 / 6) / x**5


def cos_tail(z):  # (cos x - 1 + x^2/2 - x^4/24) / x^6, z = x^2
    if z == 0:
        return mp.mpf(-1) / 720
    return (mp.cos(mp.sqrt(z)) - 1 + z / 2 - z * z / 24) / z**3


def atan_tail(w):  # (atan u - u + u^3/3) / u^5, w = u^2
    if w == 0:
        return mp.mpf(1) / 5
    u = mp.sqrt(w)
    return (mp.atan(u) - u + u**3 / 3) / u**5


# Reduced arguments reach a little past pi/4; atan's reach 1/16.
fit("SinTail", sin_tail, mp.mpf("0.62"), 5)
fit("CosTail", cos_tail, mp.mpf("0.62"), 5)
fit("AtanTail", atan_tail, mp.mpf(1) / 256 * mp.mpf("1.0001"), 4)

print("-1/6", pair(mp.mpf(-1) / 6))
print("1/24", pair(mp.mpf(1) / 24))
print("pi", pair(mp.pi))
print("pi/2", pair(mp.pi / 2))
print("pi/4", pair(mp.pi / 4))
for k in range(9):
    print(f"atan({k}/8)", pair(mp.atan(mp.mpf(k) / 8)))


def leading_bits(x, bits):
    scale = mp.mpf(2) ** (bits - 1 - mp.floor(mp.log(x, 2)))
    return mp.floor(x * scale) / scale


half_pi_1 = leading_bits(mp.pi / 2, 33)
half_pi_2 = leading_bits(mp.pi / 2 - half_pi_1, 33)
half_pi_3 = float(mp.pi / 2 - half_pi_1 - half_pi_2)
print("pi/2 in parts", repr(float(half_pi_1)), repr(float(half_pi_2)), repr(half_pi_3))
print("2/pi", repr(float(2 / mp.pi)))

mp.mp.prec = 1600
words = int(mp.floor(2 / mp.pi * mp.mpf(2) ** (32 * 40)))
print("bits of 2/pi:")
print(", ".join(f"0x{(words >> (32 * (39 - i))) & 0xFFFFFFFF:08X}" for i in range(40)))
