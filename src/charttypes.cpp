// Chart types: the log's columns by number and name, and the channels derived from them, with
// their labels.
#include "charttypes.h"

#include "globals.h"
#include "scanner.h"
#include "text.h"

namespace {
struct Names {
    const char* name;
    const char* label;
};

// Each chart type's name on the command line and its label on screen, in number order.
const Names kChartTypeTable[kChartTypes] = {
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

// The derived channels, in the order of the Derived values after kNone.
const Names kDerivedTable[] = {
    {"distance", "Distance [m]"},
    {"traction-power", "TractionPower [kW]"},
    {"traction-energy", "TractionEnergy [kWh]"},
};
constexpr int kDerivedChannels = sizeof kDerivedTable / sizeof kDerivedTable[0];

const Names& DerivedNames(Derived derived) {
    return kDerivedTable[static_cast<int>(derived) - 1];
}

// Every named channel, in the order of --help.
std::vector<Channel> NamedChannels() {
    std::vector<Channel> channels;
    for (int type = 1; type <= kChartTypes; ++type) channels.push_back(ColumnChannel(type));
    for (int k = 1; k <= kDerivedChannels; ++k) channels.push_back({0, static_cast<Derived>(k)});
    return channels;
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

void TypeOfChart(int chartType) {
    cType = ChartLabel(chartType);
}

bool HasName(const Channel& channel) {
    return channel.derived != Derived::kNone || channel.column <= kChartTypes;
}

std::string ChannelLabel(const Channel& channel) {
    if (channel.derived == Derived::kNone) return ChartLabel(channel.column);
    return DerivedNames(channel.derived).label;
}

std::string ChannelName(const Channel& channel) {
    if (channel.derived == Derived::kNone) return ChartName(channel.column);
    return DerivedNames(channel.derived).name;
}

std::string ChannelId(const Channel& channel) {
    if (channel.derived == Derived::kNone) return std::to_string(channel.column);
    return ChannelName(channel);
}

void TypeOfChart(const Channel& channel) {
    cType = ChannelLabel(channel);
}

std::vector<Channel> ChannelsNamed(const std::string& name) {
    std::string lower = LowercaseAscii(name);
    std::vector<Channel> found;
    if (lower.empty()) return found;
    for (const Channel& channel : NamedChannels()) {
        std::string candidate = ChannelName(channel);
        if (candidate == lower) return {channel};
        if (candidate.compare(0, lower.size(), lower) == 0) found.push_back(channel);
    }
    return found;
}

std::vector<std::string> ChannelNames() {
    std::vector<std::string> names;
    for (const Channel& channel : NamedChannels()) names.push_back(ChannelName(channel));
    return names;
}

std::vector<int> ChannelColumns(const Channel& channel) {
    switch (channel.derived) {
        case Derived::kNone:
            return {channel.column};
        case Derived::kDistance:
            return {kTimeColumn, kVelocityColumn};
        case Derived::kTractionPower:
            return {kVelocityColumn, kForceColumn};
        case Derived::kTractionEnergy:
            return {kTimeColumn, kVelocityColumn, kForceColumn};
    }
    return {};
}
