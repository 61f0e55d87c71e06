// The figures of a channel's samples: extreme, smallest and largest.
#include "figures.h"

#include <cmath>

void SampleFigures::Note(double sample, std::int64_t record) {
    if (!std::isfinite(sample)) return;
    if (std::fabs(sample) > std::fabs(extreme)) extreme = sample;
    if (range.minimumRecord == 0 || sample < range.minimum) {
        range.minimum = sample;
        range.minimumRecord = record;
    }
    if (range.maximumRecord == 0 || sample > range.maximum) {
        range.maximum = sample;
        range.maximumRecord = record;
    }
}
