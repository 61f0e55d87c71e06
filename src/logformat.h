// The log's layout and the temporary file's records.
#pragma once

#include <cstddef>

// A header, then lines of fixed-width columns whose first 23 characters are the field. The
// temporary file holds one 23-byte record per data line, with no separators.
constexpr int kHeaderSize = 247;  // bytes
constexpr int kColumnWidth = 24;  // characters
constexpr int kRecordSize = 23;   // bytes; also the width of a field

constexpr int kTimeColumn = 1;  // the simulator's clock, in seconds

// Bytes read from a log or a temporary file, and written to one, at once.
constexpr std::size_t kBlockSize = 1 << 18;
