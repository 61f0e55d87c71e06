// The command line, the settings from plovo.ini, their limits, and the chart's vertical scale.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

// Printed when no log file is named.
extern const char* const kUsage;
// The program's version, from the build.
extern const char* const kVersion;

// Screen sizes the viewer accepts from plovo.ini, in pixels. A chart needs a bitmap of at
// least two rows above the status bar (21 rows); beyond 16384 the window would take a very
// long time to fill and the bitmaps hundreds of megabytes.
constexpr int kMinWidth = 1;
constexpr int kMinHeight = 23;
constexpr int kMaxSize = 16384;

struct Settings {
    std::string iniPath;
    int width = 640;   // pixels: "display:width"
    int height = 480;  // pixels: "display:height"
    bool fullscreen = false;
    int chartType = 2;                           // the column to extract and the label to show
    std::string chartTypeSource = "by default";  // where chartType came from, for messages
    // The text of a number that does not fit an int, for the message; "" when it fits.
    std::string widthText, heightText, chartTypeText;
};

// Reads the four "display" keys from iniPath, each falling back to its default on its own.
// When the file cannot be loaded (missing, not a regular file, or over kMaxIniSize), writes the
// INI error line to out and returns the defaults.
Settings LoadSettings(const std::string& iniPath, std::ostream& out);
constexpr long kMaxIniSize = 64 * 1024;  // bytes: settings are a few lines

// With exactly two arguments (argc 3) the second is the chart type, read as atoi reads it.
void ApplyCommandLine(int argc, const char* const* argv, Settings& settings);

// What the options ask for, and the arguments left once they are taken out.
struct CommandLine {
    bool help = false;
    bool version = false;
    std::int64_t start = 1;         // record to show first, as asked; at least 1
    std::string snapshot;           // picture to write instead of opening the window
    std::vector<std::string> args;  // LOG [CHART_TYPE] ..., in order
    std::string error;              // one line when an option is wrong
};

// Takes the options out of argv wherever they stand (until "--"); permutes argv.
CommandLine ParseOptions(int argc, char** argv);

// True for a picture path ending in .png, .bmp, .tga or .pcx, in any case.
bool PictureFormatKnown(const std::string& path);

// The text of --help.
std::string HelpText();

// One line saying what is wrong with the settings, or "" when the viewer can use them.
std::string SettingsError(const Settings& settings);

// Sets ZeroLine and multiplier from iscrHeight and the extreme of the extracted column, so that
// a sample of the extreme's magnitude lies half-height rows from the zero line, positive values
// above it. A zero extreme (no data, or all zeros) gives a multiplier of 1.0.
void SetScale(double extreme);

// Rows above the zero line for a sample: sample * multiplier, or, where the multiplier is not
// finite (a subnormal extreme), (sample / |extreme|) * half-height.
double ScaledSample(double sample);
