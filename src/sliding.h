// Filling and sliding the sample window over the records, and the value under the cursor.
#pragma once

#include <cstdint>

class kolejka;

// The first record of the window that FillWindowAt(window, start) fills.
std::int64_t OpeningRecord(std::int64_t start);

// Fills the window with records 1 to iscrWidth, 0.0 past the end of the file; ieFp ends as
// iscrWidth.
void FillWindow(kolejka& window);

// Fills an empty window where `start` - 1 presses of Right after FillWindow would leave it: its
// first record becomes OpeningRecord(start) = 1 + min(start - 1, max(0, iFc - iscrWidth)). Reads
// only the records it shows; from record 1 it is FillWindow.
void FillWindowAt(kolejka& window, std::int64_t start);

// Replaces the window's samples with records first .. first + iscrWidth - 1 (0.0 past iFc), read
// in one pass however far the window jumps, and makes them isFp .. ieFp.
void RefillWindow(kolejka& window, std::int64_t first);

// Slides the window by up to count records: direction 1 toward later records, 0 toward earlier
// ones, anything else not at all. Stops at the first record and at the last one, keeping isFp
// and ieFp on the window's ends.
void AddToQueue(kolejka& window, int count, int direction);

// Sets value to the window's sample in screen column `column` (0 = record isFp).
void GetValue(kolejka& window, int column);
