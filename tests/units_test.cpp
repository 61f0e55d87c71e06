// Units of the reader's choosing: exact decimal conversions, the units a list names, the chart
// types they fit, and the labels that name them.
#include "units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "number.h"

namespace {
Conversion To(const std::string& unit, const Channel& chart) {
    Units units;
    std::string err;
    EXPECT_TRUE(units.Read(unit, &err)) << err;
    return units.For(chart);
}
const Channel kVelocity = ColumnChannel(2), kDistance = {0, Derived::kDistance};
}  // namespace

TEST(Units, AValueIsItsDecimalTimesTheFactorRoundedOnce) {
    struct Case {
        double value;
        const char* unit;
        Channel chart;
        const char* text;
    } cases[] = {
        {0.4, "km/h", kVelocity, "1.44"},  // the doubles' product is 1.4400000000000002
        {22.0426, "km/h", kVelocity, "79.35336"},
        {-0.7, "km/h", kVelocity, "-2.52"},
        {0.3, "bar", ColumnChannel(9), "3"},
        {0.38, "kPa", ColumnChannel(10), "380"},
        {-66694, "kN", ColumnChannel(5), "-66.694"},
        {280.5, "N", ColumnChannel(6), "280500"},
        {5354.431009999997, "km", kDistance, "5.354431009999997"},  // past 2^53 digits
        {42.988068390475846, "MJ", {0, Derived::kTractionEnergy}, "154.75704620571304"},
        {1.7976931348623157e308, "kPa", ColumnChannel(9), "inf"},
        {-0.0, "km/h", kVelocity, "-0"},
        {NAN, "km/h", kVelocity, "nan"},
        {5e-324, "kPa", ColumnChannel(9), "5e-321"},
        {0.4, "m/s", kVelocity, "0.4"},  // a chart's own unit changes nothing
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExactText(Convert(c.value, To(c.unit, c.chart))), c.text) << c.value << c.unit;
    // Values written with four decimals, as the simulator writes a velocity: k / 10^4 km/h is
    // k * 36 / 10^5, which strtod rounds once.
    std::mt19937_64 random(7);
    Conversion kmh = To("km/h", kVelocity);
    for (int i = 0; i < 100000; ++i) {
        long long k = static_cast<long long>(random() % 1000000000) - 500000000;
        double value = std::strtod((std::to_string(k) + "e-4").c_str(), nullptr);
        double product = std::strtod((std::to_string(k * 36) + "e-5").c_str(), nullptr);
        ASSERT_EQ(Convert(value, kmh), product) << k;
    }
}

TEST(Units, AListNamesOneUnitOfAKindAndEachMustFitAChartShown) {
    Units units;
    std::string err;
    EXPECT_TRUE(units.Read("km/h,BAR,Kn", &err));
    EXPECT_EQ(units.For(kVelocity).unit, "km/h");
    EXPECT_EQ(units.For(ColumnChannel(10)).unit, "bar");
    EXPECT_EQ(units.For(ColumnChannel(7)).unit, "kN");  // friction force: already kN
    EXPECT_TRUE(units.For(ColumnChannel(7)).none());
    EXPECT_EQ(units.For(ColumnChannel(11)).unit, "");  // no unit offered for a current
    EXPECT_TRUE(units.CheckFits({kVelocity, ColumnChannel(9), ColumnChannel(5)}, false, &err));
    EXPECT_FALSE(units.CheckFits({kVelocity, ColumnChannel(9), ColumnChannel(11)}, false, &err));
    EXPECT_EQ(err,
              "plovo: --units kN is for the forces, and the chart types shown are velocity, "
              "brake-pressure, motor-current");
    EXPECT_TRUE(units.Read("km", &err));
    EXPECT_TRUE(units.CheckFits({kVelocity}, true, &err));  // the distance axis
    EXPECT_FALSE(units.CheckFits({kVelocity, ColumnChannel(12)}, false, &err));
    EXPECT_EQ(err,
              "plovo: --units km is for distance, and the chart types shown are velocity, "
              "column 12");
    // Every chart type shown is named once, a name inside another's too.
    EXPECT_TRUE(units.Read("bar", &err));
    const Channel distance = {0, Derived::kDistance};
    EXPECT_FALSE(units.CheckFits(
        {ColumnChannel(4), distance, ColumnChannel(120), ColumnChannel(12), ColumnChannel(4)},
        false, &err));
    EXPECT_EQ(err,
              "plovo: --units bar is for brake-pressure and pipe-pressure, and the chart types "
              "shown are coupler-distance, distance, column 120, column 12");
    EXPECT_FALSE(units.Read("km/h,,bar", &err));
    EXPECT_EQ(err.substr(0, 46), "plovo: --units: '' is not a unit plovo shows; ");
}

TEST(Units, ALabelNamesTheUnitItsValuesAreIn) {
    Labels labels = {{ColumnChannel(9), "Brake cylinder"}, {ColumnChannel(10), "Pipe [kPa]"}};
    Conversion bar = To("bar", ColumnChannel(9));
    EXPECT_EQ(ShownLabel(ColumnChannel(9), "BrakePress [MPa]", bar, labels),
              "Brake cylinder [bar]");
    EXPECT_EQ(ShownLabel(ColumnChannel(9), "BrakePress [MPa]", Conversion(), labels),
              "Brake cylinder [MPa]");
    EXPECT_EQ(ShownLabel(ColumnChannel(9), "BrakePress [MPa]", bar, {}), "BrakePress [bar]");
    // The reader's own unit stays as written.
    EXPECT_EQ(ShownLabel(ColumnChannel(10), "PipePress [MPa]", bar, labels), "Pipe [kPa]");
    EXPECT_EQ(ShownLabel(ColumnChannel(5), "Coupler.Force[N]", To("kN", ColumnChannel(5)), {}),
              "Coupler.Force[kN]");
    EXPECT_EQ(
        ShownLabel(ColumnChannel(12), "Column 12", Conversion(), {{ColumnChannel(12), "Sand"}}),
        "Sand");
}
