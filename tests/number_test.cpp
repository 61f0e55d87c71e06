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

namespace {
// ParseNumber's value of `text` against atof's, bit for bit (the sign of a zero too).
::testing::AssertionResult AsAtof(const std::string& text) {
    double expected = std::atof(text.c_str());
    double got = ParseNumber(text.data(), text.size());
    bool same = std::isnan(expected)
                    ? std::isnan(got)
                    : got == expected && std::signbit(got) == std::signbit(expected);
    if (same) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << '"' << text << "\" gives " << got << ", atof " << expected;
}

std::string RightAligned(const std::string& text, std::size_t width) {
    return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}
}  // namespace

TEST(ParseNumber, AgreesWithAtofAtThePlainDecimalsEdges) {
    const char* cases[] = {
        // 15, 16 and 17 significant digits, about 2^53, and 19 and 20 digits in all
        "123456789012345", "1234567890123456", "12345678901234567", "9007199254740991",
        "9007199254740992", "9007199254740993", "900719925474099.7", "-90071992547409.97",
        "9999999999999999", "0.000000000000001", "1234567890123456789", "12345678901234567890",
        "0.0000000000000000001", "99999999.99999999",
        // values that round, and zeros
        "0.1", "0.2", "0.3", "0.7", "1.1", "2.675", "1.005", "0.30000000000000004",
        "9.999999999999999", "22.0426", "-0.00008", "287.8", "0", "-0", "-0.0", "-.0", "-0.",
        "000000000000000000000",
        // a point first or last, or alone
        ".5", "5.", "-.5", "-5.", ".", "-.", "-",
        // exponents, the smallest and largest
        "1e-320", "4.9e-324", "2.2250738585072014e-308", "1.7976931348623157e308", "1e309",
        "-1e-400", "1.5E3", "15e", "15e+"};
    for (const char* number : cases) {
        for (const char* tail : {"", " ", "   ", "x", "e5", "E-3", ".5", "-1", "\t1"}) {
            std::string text = std::string(number) + tail;
            // as it is, right-aligned in fields of 16 to 32 bytes, left-aligned in one of 23
            EXPECT_TRUE(AsAtof(text));
            for (std::size_t width : {16, 17, 23, 32})
                EXPECT_TRUE(AsAtof(RightAligned(text, width)));
            EXPECT_TRUE(
                AsAtof(text + std::string(23 - std::min<std::size_t>(23, text.size()), ' ')));
        }
        std::string nul = RightAligned(number, 20) + '\0' + "123";
        EXPECT_EQ(ParseNumber(nul.data(), nul.size()), std::atof(number)) << number;
    }
}

TEST(ParseNumber, AgreesWithAtofOnFieldsShapedAsTheSimulatorsOwn) {
    // Blanks, a sign, up to 19 digits with a point anywhere, sometimes something after them,
    // right-aligned in 23 bytes or fewer.
    std::mt19937 random(23);
    const std::string tails[] = {
        "", "", "", "", " ", "  ", "e-7", "E12", "x", ".", "5.", "-", std::string(1, '\0')};
    for (int i = 0; i < 400000; ++i) {
        std::string number = random() % 3 == 0 ? "-" : random() % 8 == 0 ? "+" : "";
        int digits = static_cast<int>(random() % 20);
        int point = static_cast<int>(random() % (digits + 2)) - 1;  // -1: none
        for (int d = 0; d < digits; ++d) {
            if (d == point) number += '.';
            number += static_cast<char>('0' + (random() % 4 == 0 ? 0 : random() % 10));
        }
        if (point == digits) number += '.';
        number += tails[random() % (sizeof tails / sizeof *tails)];
        std::size_t width = random() % 4 == 0 ? random() % 33 : 23;
        std::string text = RightAligned(number, width);
        if (text.size() > width && width > 0) text = text.substr(text.size() - width);
        ASSERT_TRUE(AsAtof(text));
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

TEST(WriteFieldText, IsTheShortestTextOfTheFieldsNumber) {
    auto field = [](const std::string& text) {
        char out[kMaxExactText];
        return std::string(out, WriteFieldText(text.data(), text.size(), out));
    };
    auto exact = [](const std::string& text) {
        return ExactText(ParseNumber(text.data(), text.size()));
    };
    std::vector<std::pair<std::string, std::string>> cases = {
        {"   22.04260", "22.0426"},
        {"270", "270"},
        {"100000", "1e+05"},
        {"123000", "123000"},
        {"0.0001", "1e-04"},
        {"0.001", "0.001"},
        {"-0.000", "-0"},
        {"+.50", "0.5"},
        {"-nan", "nan"},
        {"0.30000000000000004", "0.30000000000000004"},
        {"12abc", "12"},
        {"1.5e3", "1500"},
        {"", "0"},
        {"  -7. ", "-7"}};
    for (const auto& [text, shortest] : cases) {
        EXPECT_EQ(field(text), shortest) << '"' << text << '"';
        EXPECT_EQ(field(text), exact(text)) << '"' << text << '"';
    }
    // Plain decimals most of all: digits, a point, a sign, zeros around them, padding.
    const std::string alphabet = "0000123456789..-+ ";
    std::mt19937 random(7);
    for (int i = 0; i < 300000; ++i) {
        std::string text(random() % 24, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        ASSERT_EQ(field(text), exact(text)) << '"' << text << '"';
        // right-aligned as the simulator writes it, and with other bytes after it
        std::string aligned = RightAligned(text, 23);
        ASSERT_EQ(field(aligned), exact(aligned)) << '"' << aligned << '"';
        std::string followed = text + "  x" + std::string(random() % 20, '7');
        ASSERT_EQ(field(followed), exact(followed)) << '"' << followed << '"';
    }
}
