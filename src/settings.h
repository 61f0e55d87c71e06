// The settings from plovo.ini and the plain command line's chart type, and their limits.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

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
    // A chart type given as a text that names no chart type, or several.
    std::optional<std::string> chartTypeName;
    bool chartTypeFromCommandLine = false;
    // When plovo.ini could not be loaded: one line naming the path tried and why; else "".
    std::string iniFailure;
};

// Reads the four "display" keys from iniPath, each falling back to its default on its own.
// When the file cannot be loaded (missing, not a regular file, over kMaxIniSize, or not INI),
// writes the INI error line to out and returns the defaults, with the reason in iniFailure.
Settings LoadSettings(const std::string& iniPath, std::ostream& out);
constexpr long kMaxIniSize = 64 * 1024;  // bytes: settings are a few lines

// With exactly two arguments (argc 3) the second is the chart type: a number as atoi reads it,
// or, when it does not begin with one, a chart type's name or a unique prefix of it (as
// display:default may be too).
void ApplyCommandLine(int argc, const char* const* argv, Settings& settings);

// One line saying what is wrong with the settings, or "" when the viewer can use them.
std::string SettingsError(const Settings& settings);
