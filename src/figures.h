// The figures of a channel's samples: extreme, smallest and largest.
#pragma once

#include <cstdint>

// The smallest and largest finite sample of a channel and the records they first occur in
// (1-based; 0 when the channel has no finite sample).
struct SampleRange {
    double minimum = 0.0, maximum = 0.0;
    std::int64_t minimumRecord = 0, maximumRecord = 0;
};

// Keeps a channel's extreme (the finite sample of largest magnitude, with its sign; the first
// one wins a tie) and range up to date, sample by sample.
struct SampleFigures {
    double extreme = 0.0;
    SampleRange range;
    void Note(double sample, std::int64_t record);
};
