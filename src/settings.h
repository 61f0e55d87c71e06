// The settings from plovo.ini and the plain command line's chart type, and their limits.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "braking.h"
#include "charttypes.h"
#include "plan.h"

// Screen sizes the viewer accepts from plovo.ini, in pixels. A chart needs a bitmap of at
// least two rows above the status bar (21 rows); beyond 16384 the window would take a very
// long time to fill and the bitmaps hundreds of megabytes.
constexpr int kMinWidth = 1;
constexpr int kMinHeight = 23;
constexpr int kMaxSize = 16384;
// Chart types a list may name: each is a panel of a picture, and a temporary file while plovo runs.
constexpr std::size_t kMaxCharts = 32;

struct Settings {
    std::string iniPath;
    int width = 640;   // pixels: "display:width"
    int height = 480;  // pixels: "display:height"
    bool fullscreen = false;
    Channel chart;                               // what to extract and the label to show: charts[0]
    std::vector<Channel> charts = {Channel()};   // a comma-separated list's chart types, in order
    std::string chartTypeSource = "by default";  // where chart came from, for messages
    // A value refused as a number, as the message names it (digits beyond an int, or a text
    // that is not a whole decimal number, quoted); "" when it was read.
    std::string widthText, heightText, chartTypeText;
    // A chart type given as a text that names no chart type, or several.
    std::optional<std::string> chartTypeName;
    bool chartTypeFromCommandLine = false;
    BrakingRule analysis;  // "analysis:brake_on" (MPa) and "analysis:stop_speed" (m/s)
    // The text of an analysis key that is no positive finite decimal number, as written.
    std::optional<std::string> brakeOnText, stopSpeedText;
};

// Reads the four "display" keys and the two "analysis" keys from iniPath into settings, each
// falling back to its default on its own. A number under "display" is a whole decimal number,
// blanks around it allowed. False when the file cannot be loaded (missing, not a regular file,
// over kMaxIniSize, or not INI), with the defaults in settings and one line in err naming the
// path tried and why.
bool LoadSettings(const std::string& iniPath, Settings* settings, std::string* err);
constexpr long kMaxIniSize = 64 * 1024;  // bytes: settings are a few lines

// A positive finite decimal number, the whole text as strtod reads it (blanks around it aside),
// as [analysis] takes it. None for anything else: hexadecimal, inf, nan, 0, -1, 1e999, 5x.
std::optional<double> ReadPositiveDecimal(const char* text);

// With exactly two arguments (argc 3) the second is the chart type: a number as atoi reads it,
// or, when it does not begin with one, a chart type's name or a unique prefix of it (as
// display:default may be too); or a comma-separated list of them.
void ApplyCommandLine(int argc, const char* const* argv, Settings& settings);

// False with one line in err saying what is wrong with the settings that `use` names (the screen
// size, the chart type, the analysis thresholds), true when the run can use them.
bool CheckSettings(const Settings& settings, const SettingsUse& use, std::string* err);
