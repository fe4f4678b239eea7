// Sine, cosine, arc tangent, arc cosine and integer powers that give the same
// bits on every compiler, C library and operating system: the scene's corners
// and light map must not depend on whose libm the program was linked with.
//
// Each result is within a hair of half an ulp of the exact value, so it is
// nearly always the correctly rounded one. Only +, -, *, / and sqrt on doubles
// are used. This relies on the build's -ffp-contract=off and on plain 64-bit
// double arithmetic (SSE2 on 32-bit x86, not the x87's wider registers): the
// error-free sums and products below are exact only then.
#pragma once

double Sin(double x);
double Cos(double x);
double Atan2(double y, double x);       // in [-pi, pi], the signs and special cases of std::atan2
double Acos(double x);                  // in [0, pi]; NaN outside [-1, 1]
double IntPower(double x, unsigned n);  // x to the n-th power; 1 when n is 0
