// Units and labels of the reader's choosing: a chart type's values converted to another unit, and
// the label that names them.
#include "units.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numeric>

#include "text.h"

namespace {
enum class Quantity { kSpeed, kPressure, kForce, kDistance, kEnergy };

// A unit, as so many base units (m/s, Pa, N, m, J): inBase / perBase.
struct UnitInfo {
    const char* name;
    Quantity quantity;
    long long inBase, perBase;
};

const UnitInfo kUnits[] = {
    {"m/s", Quantity::kSpeed, 1, 1},          {"km/h", Quantity::kSpeed, 5, 18},
    {"MPa", Quantity::kPressure, 1000000, 1}, {"bar", Quantity::kPressure, 100000, 1},
    {"kPa", Quantity::kPressure, 1000, 1},    {"N", Quantity::kForce, 1, 1},
    {"kN", Quantity::kForce, 1000, 1},        {"m", Quantity::kDistance, 1, 1},
    {"km", Quantity::kDistance, 1000, 1},     {"kWh", Quantity::kEnergy, 3600000, 1},
    {"MJ", Quantity::kEnergy, 1000000, 1},
};
constexpr int kUnitCount = sizeof kUnits / sizeof kUnits[0];

std::string Joined(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

const char* QuantityName(Quantity quantity) {
    switch (quantity) {
        case Quantity::kSpeed:
            return "velocity";
        case Quantity::kPressure:
            return "brake-pressure and pipe-pressure";
        case Quantity::kForce:
            return "the forces";
        case Quantity::kDistance:
            return "distance";
        case Quantity::kEnergy:
            return "traction-energy";
    }
    return "";
}

// The unit a chart type's values are in, as the log and the computed channels give them; -1 for
// one no other unit is offered for.
int NativeUnit(const Channel& chart) {
    const char* name = nullptr;
    switch (chart.derived) {
        case Derived::kDistance:
            name = "m";
            break;
        case Derived::kTractionEnergy:
            name = "kWh";
            break;
        case Derived::kTractionPower:
            break;
        case Derived::kNone:
            name = chart.column == 2                         ? "m/s"
                   : chart.column == 9 || chart.column == 10 ? "MPa"
                   : chart.column == 5                       ? "N"
                   : chart.column >= 6 && chart.column <= 8  ? "kN"
                                                             : nullptr;
            break;
    }
    for (int unit = 0; name != nullptr && unit < kUnitCount; ++unit)
        if (std::string(kUnits[unit].name) == name) return unit;
    return -1;
}

// From the unit `from` to the chosen one of its kind, if any.
Conversion Between(int from, const std::vector<int>& chosen) {
    Conversion conversion;
    if (from < 0) return conversion;
    for (int to : chosen) {
        if (kUnits[to].quantity != kUnits[from].quantity) continue;
        long long times = kUnits[from].inBase * kUnits[to].perBase;
        long long per = kUnits[from].perBase * kUnits[to].inBase;
        long long common = std::gcd(times, per);
        times /= common;
        per /= common;
        // Every factor of the table is a decimal: its divisor divides a power of ten.
        conversion.digits = times;
        conversion.exponent = 0;
        while (per % 10 == 0) per /= 10, --conversion.exponent;
        for (; per % 2 == 0; per /= 2, --conversion.exponent) conversion.digits *= 5;
        for (; per % 5 == 0; per /= 5, --conversion.exponent) conversion.digits *= 2;
        while (conversion.digits % 10 == 0) conversion.digits /= 10, ++conversion.exponent;
        conversion.unit = kUnits[to].name;
    }
    return conversion;
}
}  // namespace

double Convert(double value, const Conversion& c) {
    if (c.none()) return value;
    if (!std::isfinite(value) || value == 0)
        return value * static_cast<double>(c.digits) * std::pow(10.0, c.exponent);
    // The shortest text's digits as a whole number and its power of ten: value = whole * 10^power.
    char text[32];
    char* end = std::to_chars(text, text + sizeof text, std::fabs(value)).ptr;
    std::uint64_t whole = 0;
    int power = 0;
    bool fraction = false;
    for (const char* p = text; p < end; ++p) {
        if (*p == 'e') {
            power += std::atoi(std::string(p + 1, static_cast<const char*>(end)).c_str());
            break;
        }
        if (*p == '.') {
            fraction = true;
            continue;
        }
        whole = whole * 10 + static_cast<std::uint64_t>(*p - '0');
        power -= fraction ? 1 : 0;
    }
    // At most 17 digits times a factor's few: a whole number below 2^64.
    std::uint64_t product = whole * static_cast<std::uint64_t>(c.digits);
    power += c.exponent;
    double magnitude;
    static const double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (product < (std::uint64_t{1} << 53) && power >= -22 && power <= 22) {
        // Both exact in a double: the one operation rounds once.
        double exact = static_cast<double>(product);
        magnitude = power >= 0 ? exact * kPowers[power] : exact / kPowers[-power];
    } else {
        std::string decimal = std::to_string(product) + "e" + std::to_string(power);
        magnitude = std::strtod(decimal.c_str(), nullptr);
    }
    return value < 0 ? -magnitude : magnitude;
}

bool Units::Read(const std::string& list, std::string* err) {
    chosen.clear();
    for (const std::string& name : SplitAt(list, ',')) {
        int found = -1;
        for (int unit = 0; unit < kUnitCount; ++unit)
            if (LowercaseAscii(name) == LowercaseAscii(kUnits[unit].name)) found = unit;
        if (found < 0) {
            std::string known;
            for (const UnitInfo& unit : kUnits)
                known += std::string(known.empty() ? "" : ", ") + unit.name;
            return Refuse(err, "plovo: --units: '" + Printable(name) +
                                   "' is not a unit plovo shows; the units are " + known);
        }
        for (int other : chosen)
            if (kUnits[other].quantity == kUnits[found].quantity)
                return Refuse(err, std::string("plovo: --units gives ") + kUnits[other].name +
                                       " and " + kUnits[found].name + " for " +
                                       QuantityName(kUnits[found].quantity) + ": give one");
        chosen.push_back(found);
    }
    return true;
}

Conversion Units::For(const Channel& chart) const {
    return Between(NativeUnit(chart), chosen);
}

Conversion Units::ForDistance() const {
    return For({0, Derived::kDistance});
}

bool Units::CheckFits(const std::vector<Channel>& shown, bool distanceAxis,
                      std::string* err) const {
    for (int unit : chosen) {
        bool fits = distanceAxis && kUnits[unit].quantity == Quantity::kDistance;
        std::vector<std::string> names;
        for (const Channel& chart : shown) {
            int native = NativeUnit(chart);
            fits = fits || (native >= 0 && kUnits[native].quantity == kUnits[unit].quantity);
            std::string name = ChannelName(chart).empty() ? "column " + std::to_string(chart.column)
                                                          : ChannelName(chart);
            // Each once, as a whole name: "distance" is not "coupler-distance" again.
            if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
        }
        if (!fits)
            return Refuse(err, std::string("plovo: --units ") + kUnits[unit].name + " is for " +
                                   QuantityName(kUnits[unit].quantity) +
                                   ", and the chart types shown are " + Joined(names));
    }
    return true;
}

std::string UnitOfLabel(const std::string& label) {
    std::string::size_type open = label.rfind('['), close = label.rfind(']');
    if (open == std::string::npos || close == std::string::npos || close < open) return "";
    return label.substr(open + 1, close - open - 1);
}

std::string ShownLabel(const Channel& chart, const std::string& base, const Conversion& conversion,
                       const Labels& labels) {
    std::string unit = conversion.unit.empty() ? UnitOfLabel(base) : conversion.unit;
    for (const auto& [labelled, text] : labels)
        if (labelled == chart)  // the reader's words, their unit added when they give none
            return UnitOfLabel(text).empty() && !unit.empty() ? text + " [" + unit + "]" : text;
    if (conversion.unit.empty()) return base;
    std::string::size_type open = base.rfind('['), close = base.rfind(']');
    return base.substr(0, open + 1) + unit + base.substr(close);
}
