// Chart types: labels and names.
#include "charttypes.h"

#include "test_util.h"

TEST(Labels, EveryNumberOutsideOneToElevenIsNotSupported) {
    std::vector<std::pair<int, std::string>> labels = {
        {1, "Time [s]"},           {2, "Velocity [m/s]"},    {3, "Acceleration [m/ss]"},
        {4, "Coupler.Dist[m]"},    {5, "Coupler.Force[N]"},  {6, "TractionForce [kN]"},
        {7, "FrictionForce [kN]"}, {8, "BrakeForce [kN]"},   {9, "BrakePress [MPa]"},
        {10, "PipePress [MPa]"},   {11, "MotorCurrent [A]"}, {0, "Not supported!"},
        {-1, "Not supported!"},    {12, "Not supported!"}};
    for (const auto& [number, label] : labels) {
        TypeOfChart(number);
        EXPECT_EQ(cType, label) << number;
    }
    // {given, the names of the channels it names}: a name or its unique beginning, in any case.
    std::vector<std::pair<std::string, std::vector<std::string>>> names = {
        {"velocity", {"velocity"}},
        {"MOTOR-current", {"motor-current"}},
        {"brake-p", {"brake-pressure"}},
        {"brake", {"brake-force", "brake-pressure"}},
        {"c", {"coupler-distance", "coupler-force"}},
        {"dist", {"distance"}},
        {"traction", {"traction-force", "traction-power", "traction-energy"}},
        {"traction-e", {"traction-energy"}},
        {"", {}},
        {"speed", {}},
        {"time-", {}}};
    for (const auto& [given, expected] : names) {
        std::vector<std::string> found;
        for (const Channel& channel : ChannelsNamed(given)) found.push_back(ChannelName(channel));
        EXPECT_EQ(found, expected) << given;
    }
    // Derived channels have labels and names of their own, and are named where numbers are.
    Channel distance = ChannelsNamed("distance")[0];
    EXPECT_EQ(ChannelLabel(distance), "Distance [m]");
    EXPECT_EQ(ChannelId(distance), "distance");
    EXPECT_EQ(ChannelId(ColumnChannel(12)), "12");
    EXPECT_EQ(ChannelLabel(ChannelsNamed("traction-p")[0]), "TractionPower [kW]");
    EXPECT_EQ(ChannelLabel(ChannelsNamed("traction-e")[0]), "TractionEnergy [kWh]");
}
