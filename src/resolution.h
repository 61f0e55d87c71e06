// Differences of times and distances written to the resolution of the numbers they come from.
#pragma once

// The decimals of a finite number's shortest text: "35.1" has 1, "280" 0, "1e-07" 7, "2.5e+20"
// 0. 0 for a number that is not finite.
int Decimals(double number);

// b - a as the two numbers are written (their shortest texts), so to as many decimals as the more
// finely written of the two has (Decimals), exactly: the double nearest that decimal, so that the
// shortest text of a difference of two times written with one decimal has one decimal at most
// (35.1, not 35.10000000000582), and one of two distances no digit their texts lack. A difference
// that is not finite stays as computed.
double RoundedDifference(double b, double a);
