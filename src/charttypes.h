// Chart types: the log's columns by number and name, and the channels derived from them, with
// their labels.
#pragma once

#include <string>
#include <vector>

constexpr int kChartTypes = 11;  // chart types 1 .. 11 have names and labels

// The label of a chart type; "Not supported!" outside 1 .. kChartTypes.
const char* ChartLabel(int chartType);
// The name of a chart type on the command line ("velocity"); "" outside 1 .. kChartTypes.
const char* ChartName(int chartType);

// Sets cType to the label of a chart type.
void TypeOfChart(int chartType);

// What a channel computes from several columns; kNone for a column of the log as it is.
enum class Derived { kNone, kDistance, kTractionPower, kTractionEnergy };

// What a chart shows: a column of the log (any number from 1; 1 .. 11 have names), or a channel
// derived from several columns (by name only).
struct Channel {
    int column = 2;  // 1-based column of the log, when not derived
    Derived derived = Derived::kNone;

    bool operator==(const Channel& other) const {
        return derived == other.derived && (derived != Derived::kNone || column == other.column);
    }
};

inline Channel ColumnChannel(int column) {
    return {column, Derived::kNone};
}

// Whether the channel has a name: a derived channel, or a column 1 .. kChartTypes.
bool HasName(const Channel& channel);

// The channel's label: ChartLabel of its column, or "Distance [m]", "TractionPower [kW]",
// "TractionEnergy [kWh]".
std::string ChannelLabel(const Channel& channel);
// The channel's name: ChartName of its column ("" above 11), or "distance", "traction-power",
// "traction-energy".
std::string ChannelName(const Channel& channel);
// How `--stats` and the like name it: the number of a column, the name of a derived channel.
std::string ChannelId(const Channel& channel);
// Sets cType to the channel's label.
void TypeOfChart(const Channel& channel);

// The channels whose names `name` is, or begins, in any case: one for a name or a unique
// prefix, several for an ambiguous prefix, none otherwise.
std::vector<Channel> ChannelsNamed(const std::string& name);
// Every name, in order: the columns' 1 .. 11, then the derived channels'.
std::vector<std::string> ChannelNames();

// The log's columns a channel is computed from: its own column, or for a derived channel those
// of time, velocity and traction force that it needs.
std::vector<int> ChannelColumns(const Channel& channel);

constexpr int kVelocityColumn = 2;  // m/s
constexpr int kForceColumn = 6;     // traction force, kN
