// The number reader: agreement with atof, and the shortest exact text.
#include "number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

TEST(ParseNumber, AgreesWithAtof) {
    const char* cases[] = {"",
                           "   ",
                           "12.5",
                           "  -3.14159265",
                           "+7",
                           "--5",
                           "+-5",
                           "- 5",
                           "1e3",
                           "1e",
                           "1e+",
                           ".5",
                           ".",
                           "-.5e-2",
                           "abc",
                           "12abc",
                           "inf",
                           "-INF",
                           "infinity",
                           "infinit",
                           "nan",
                           "-nan",
                           "nan(12)",
                           "1e999",
                           "-1e999",
                           "1e-999",
                           "4e-320",
                           "0x1A",
                           "-0x1p4",
                           "0x",
                           "00012",
                           "\t\v\f\r 8",
                           "1.7976931348623157e308",
                           "123456789012345678901234"};
    for (const char* text : cases) {
        double expected = std::atof(text);
        double got = ParseNumber(text, std::strlen(text));
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(got)) << text;
        } else {
            EXPECT_EQ(got, expected) << text;
            EXPECT_EQ(std::signbit(got), std::signbit(expected)) << text;
        }
    }
}

TEST(ParseNumber, AgreesWithAtofOnRandomFields) {
    const std::string alphabet = "0123456789+-.eExXinfaINFA \t\r";
    std::mt19937 random(42);
    for (int i = 0; i < 200000; ++i) {
        std::string text(random() % 24, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        double expected = std::atof(text.c_str());
        double got = ParseNumber(text.data(), text.size());
        if (std::isnan(expected)) {
            ASSERT_TRUE(std::isnan(got)) << '"' << text << '"';
        } else {
            ASSERT_EQ(got, expected) << '"' << text << '"';
        }
    }
}

TEST(ParseNumber, StopsAtNul) {
    EXPECT_EQ(ParseNumber("12\0"
                          "34",
                          5),
              12.0);
    EXPECT_EQ(ParseNumber("\0"
                          "5",
                          2),
              0.0);
}

TEST(HexText, ReadsBackExactlyAsAtofReadsIt) {
    std::mt19937_64 random(3);
    std::vector<double> numbers = {
        0.0,    -0.0,     1.0,       -0.5,         22.0426,          1e300, -4.9e-324, 2.2e-308,
        1e-320, HUGE_VAL, -HUGE_VAL, std::nan(""), 6034.447999999987};
    for (int i = 0; i < 200000; ++i) {
        std::uint64_t bits = random();
        double any;
        std::memcpy(&any, &bits, sizeof any);
        numbers.push_back(any);
    }
    char text[kHexTextSize + 1];
    for (double number : numbers) {
        std::size_t length = HexText(number, text);
        ASSERT_LE(length, 23u);
        text[length] = '\0';
        double back = ParseNumber(text, length);  // bit for bit: -0 too
        bool same = std::memcmp(&back, &number, sizeof back) == 0 && back == std::atof(text);
        ASSERT_TRUE(std::isnan(number) ? std::isnan(back) : same) << text;
    }
    EXPECT_EQ(std::string(text, HexText(22.0426, text)), "0x160ae7d566cf42p-0048");
    EXPECT_EQ(std::string(text, HexText(-0.5, text)), "-0x10000000000000p-0053");
    // A record followed by more: read as strtod reads on.
    for (const char* field : {"0x10000000000000p-00521", "0x10000000000000p-0052x",
                              "0x1000000000000gp-0052", "0xffffffffffffffp+0000"})
        EXPECT_EQ(ParseNumber(field, std::strlen(field)), std::atof(field)) << field;
}
