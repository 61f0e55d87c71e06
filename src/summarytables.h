// The summary and brakings tables: their header rows, and a run's rows, as CSV.
#pragma once

#include <cstdint>
#include <string>

#include "braking.h"
#include "summary.h"

// The header rows, each ended by a line feed.
std::string SummaryHeader();
std::string BrakingsHeader();

// Appends the row of the run of log `log` (its path as given): numbers as the shortest text that
// reads back exactly (see ExactText), an empty field where a value does not exist.
void AppendSummaryRow(const std::string& log, const RunFigures& run, std::string* out);
// Appends the row of brake application `number` (1, 2, ...) of log `log`, in the same way.
void AppendBrakingRow(const std::string& log, std::int64_t number, const Braking& braking,
                      std::string* out);
