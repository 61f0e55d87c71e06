// The process-wide state that the subsystems share, grouped by the file that writes it.
#pragma once

#include <string>

// main.cpp, from plovo.ini: the screen size.
extern int iscrWidth;   // screen width in pixels; also the window's capacity in samples
extern int iscrHeight;  // screen height in pixels

// chart.cpp (SetScale): the vertical scale derived from the log.
extern int ZeroLine;       // pixel row of the zero line in the chart bitmap
extern double multiplier;  // pixel rows per data unit

// extraction.cpp (iFc) and sliding.cpp: the extracted column and the window's place in it.
extern int iFc;       // number of records in the temporary file
extern int isFp;      // 1-based record number of the window's first sample
extern int ieFp;      // 1-based record number of the window's last sample
extern double value;  // the sample under the cursor, as last fetched by GetValue

// chart.cpp: the label of the chart type, with its unit.
extern std::string cType;
