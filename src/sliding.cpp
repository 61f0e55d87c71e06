// Filling and sliding the sample window over the records, and the value under the cursor.
#include "sliding.h"

#include <algorithm>

#include "globals.h"
#include "kolejka.h"
#include "records.h"

std::int64_t OpeningRecord(std::int64_t start) {
    return 1 + std::min<std::int64_t>(start - 1, std::max(0, iFc - iscrWidth));
}

void FillWindow(kolejka& window) {
    RefillWindow(window, 1);
}

void FillWindowAt(kolejka& window, std::int64_t start) {
    RefillWindow(window, OpeningRecord(start));
}

void RefillWindow(kolejka& window, std::int64_t first) {
    RecordStream samples(SampleFile(), first);
    for (std::int64_t record = first; record < first + iscrWidth; ++record)
        window.push_back(record <= iFc ? samples.Next() : 0.0);
    isFp = static_cast<int>(first);
    ieFp = isFp + iscrWidth - 1;
}

void AddToQueue(kolejka& window, int count, int direction) {
    if (direction != 0 && direction != 1) return;
    for (int step = 0; step < count; ++step) {
        if (direction == 1) {
            // At or past the last record; past it only after filling from a short log.
            if (ieFp >= iFc) return;
            ++isFp;
            ++ieFp;
            window.push_back(czytaj(ieFp));
        } else {
            if (isFp <= 1) return;
            --isFp;
            --ieFp;
            window.push_front(czytaj(isFp));
        }
    }
}

void GetValue(kolejka& window, int column) {
    window.reset_iter();
    for (int i = 0; i <= column; ++i) value = window.k_get();
}
