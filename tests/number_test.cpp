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
    }
}
