// Chart types: their numbers, names and labels.
#pragma once

#include <string>
#include <vector>

constexpr int kChartTypes = 11;  // chart types 1 .. 11 have names and labels

// The label of a chart type; "Not supported!" outside 1 .. kChartTypes.
const char* ChartLabel(int chartType);
// The name of a chart type on the command line ("velocity"); "" outside 1 .. kChartTypes.
const char* ChartName(int chartType);
// The chart types whose names `name` is, or begins, in any case: one for a name or a unique
// prefix, several for an ambiguous prefix, none otherwise.
std::vector<int> ChartTypesNamed(const std::string& name);

// Sets cType to the label of a chart type.
void TypeOfChart(int chartType);
