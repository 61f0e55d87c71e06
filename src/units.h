// Units and labels of the reader's choosing: a chart type's values converted to another unit, and
// the label that names them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "charttypes.h"

// A conversion of values by a decimal factor, digits * 10^exponent ("km/h" from m/s: 36e-1).
struct Conversion {
    long long digits = 1;
    int exponent = 0;
    std::string unit;  // the unit converted to; "" for none
    bool none() const { return digits == 1 && exponent == 0; }
};

// The product of `value` as written (its shortest text, "0.4") and the factor, exact in decimal,
// rounded once to the nearest double: 0.4 m/s is 1.44 km/h, where the product of the two doubles
// is 1.4400000000000002. What is not finite, and 0, are multiplied as they are.
double Convert(double value, const Conversion& conversion);

// The units --units asks for: at most one of each kind (speed, pressure, force, distance, energy).
class Units {
  public:
    // Reads a comma-separated list ("km/h,bar"). False with one line in err for a name that is no
    // unit (the units listed) or two units of one kind.
    bool Read(const std::string& list, std::string* err);
    bool empty() const { return chosen.empty(); }
    // The conversion of a chart type's values: none when no unit chosen fits it.
    Conversion For(const Channel& chart) const;
    // The conversion of the distance along the line, as an x axis.
    Conversion ForDistance() const;
    // Refuses a unit that fits none of the chart types shown (and not the distance axis when
    // `distanceAxis`), naming both. False with one line in err.
    bool CheckFits(const std::vector<Channel>& shown, bool distanceAxis, std::string* err) const;

  private:
    std::vector<int> chosen;  // in the table of units
};

// A chart type's label in place of its own (--label CHART=TEXT).
using Labels = std::vector<std::pair<Channel, std::string>>;

// The unit in a label's brackets ("Velocity [m/s]": "m/s"); "" for none.
std::string UnitOfLabel(const std::string& label);

// A chart type's label as shown: `base` (its own label, or "Column N") with the unit of
// `conversion` in its brackets, or the text given for it in `labels`, as written when it holds
// a unit in brackets, else with the chart type's unit added: "Brake cylinder" and bar make
// "Brake cylinder [bar]".
std::string ShownLabel(const Channel& chart, const std::string& base, const Conversion& conversion,
                       const Labels& labels);
