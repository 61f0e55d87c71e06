// The process-wide state that the subsystems share, grouped by the file that writes it.
#pragma once

#include <string>

// main.cpp, from plovo.ini, at the start: the screen size.
extern int iscrWidth;   // screen width in pixels; also the window's capacity in samples
extern int iscrHeight;  // screen height in pixels

// chart.cpp (SetScale, which only the session calls): the vertical scale derived from the log.
extern int ZeroLine;         // pixel row of the zero line in the chart bitmap
extern double multiplier;    // pixel rows per data unit
extern double scaleExtreme;  // the signed extreme the scale was set from

// session.cpp (iFc: the session's Open and Follow) and records.cpp (isFp, ieFp: the window's
// fill and slides; value: GetValue): the extracted column and the window's place in it.
extern int iFc;       // number of records in the temporary file
extern int isFp;      // 1-based record number of the window's first sample
extern int ieFp;      // 1-based record number of the window's last sample
extern double value;  // the sample under the cursor, as last fetched by GetValue

// session.cpp: the temporary files czytaj and RecordTime read, descriptors open for reading; -1
// while there are none (the time column's is -1 when the chart is the time column).
extern int sampleRecordsFd;
extern int timeRecordsFd;

// charttypes.cpp (TypeOfChart, called once at the start): the label of the chart type, with its
// unit.
extern std::string cType;
