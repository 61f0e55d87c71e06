// Chart types: their numbers, names and labels.
#include "charttypes.h"

#include <cctype>

#include "globals.h"

namespace {
// Each chart type's name on the command line and its label on screen, in number order.
const struct {
    const char* name;
    const char* label;
} kChartTypeTable[kChartTypes] = {
    {"time", "Time [s]"},
    {"velocity", "Velocity [m/s]"},
    {"acceleration", "Acceleration [m/ss]"},
    {"coupler-distance", "Coupler.Dist[m]"},
    {"coupler-force", "Coupler.Force[N]"},
    {"traction-force", "TractionForce [kN]"},
    {"friction-force", "FrictionForce [kN]"},
    {"brake-force", "BrakeForce [kN]"},
    {"brake-pressure", "BrakePress [MPa]"},
    {"pipe-pressure", "PipePress [MPa]"},
    {"motor-current", "MotorCurrent [A]"},
};

std::string Lowercase(const std::string& text) {
    std::string lower;
    for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}
}  // namespace

const char* ChartLabel(int chartType) {
    bool known = chartType >= 1 && chartType <= kChartTypes;
    return known ? kChartTypeTable[chartType - 1].label : "Not supported!";
}

const char* ChartName(int chartType) {
    bool known = chartType >= 1 && chartType <= kChartTypes;
    return known ? kChartTypeTable[chartType - 1].name : "";
}

std::vector<int> ChartTypesNamed(const std::string& name) {
    std::string lower = Lowercase(name);
    std::vector<int> types;
    for (int type = 1; type <= kChartTypes && !lower.empty(); ++type) {
        std::string candidate = kChartTypeTable[type - 1].name;
        if (candidate == lower) return {type};
        if (candidate.compare(0, lower.size(), lower) == 0) types.push_back(type);
    }
    return types;
}

void TypeOfChart(int chartType) {
    cType = ChartLabel(chartType);
}
