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
    // {given, the chart types it names}: a name or its unique beginning, in any case.
    std::vector<std::pair<std::string, std::vector<int>>> names = {
        {"velocity", {2}}, {"MOTOR-current", {11}},
        {"brake-p", {9}},  {"brake", {8, 9}},
        {"c", {4, 5}},     {"", {}},
        {"speed", {}},     {"time-", {}}};
    for (const auto& [given, types] : names) EXPECT_EQ(ChartTypesNamed(given), types) << given;
}
