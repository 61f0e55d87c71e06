// Differences written to the resolution of the numbers they come from.
#include "resolution.h"

#include <gtest/gtest.h>

#include <cmath>

#include "number.h"

TEST(Resolution, ADifferenceHasTheDecimalsOfItsFinerNumber) {
    for (auto [number, decimals] : std::vector<std::pair<double, int>>{
             {35.1, 1}, {280, 0}, {1e-7, 7}, {2.5e20, 0}, {1.25e-5, 7}, {-0.5, 1}, {NAN, 0}})
        EXPECT_EQ(Decimals(number), decimals) << number;
    // {b, a, b - a}: the exact difference of the two numbers as written (their shortest texts),
    // as Python's Decimal subtracts them, never the digits the doubles' own difference adds.
    struct Case {
        double b, a;
        const char* text;
    } cases[] = {
        {317.6, 281.4, "36.2"},  // 36.200000000000045
        {259775, 259725.3, "49.7"},
        {281.4, 317.6, "-36.2"},
        {280, 270, "10"},
        {0.35, 0.1, "0.25"},                                   // from 0.24999999999999997
        {0.30000000000000004, 0.1, "0.20000000000000004"},     // every decimal kept
        {5783.676615, 5354.431009999997, "429.245605000003"},  // a distance's 12 decimals
        // Distances of 16 and 17 digits, whose doubles differ from their texts in the last
        // decimal: the doubles' difference is 2.1925699999988137 and 62.39999999994327.
        {29543.392284999984, 29541.199714999984, "2.19257"},
        {1364.4999999996958, 1302.0999999997525, "62.3999999999433"},
        {3184.8878750000017, -1e-300, "3184.8878750000017"},  // 317 decimals, exactly
        {5448123.456789012, 5447000.1, "1123.356789012"},     // past 2^40 units of 1e-9
        {1e15 + 0.5, 0.25, "1000000000000000.2"},             // beyond a double's digits
        {1.5e-300, 1e-300, "5e-301"},                         // beyond 22 decimals
        {1e20, 1e-20, "1e+20"},
        {1e-07, 0, "1e-07"},
        {-0.1, -0.1, "0"},  // never "-0"
        {NAN, 1, "nan"},
        {INFINITY, 1, "inf"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExactText(RoundedDifference(c.b, c.a)), c.text) << c.b << " - " << c.a;
}
