// The command line, the settings from plovo.ini, their limits, and the chart's vertical scale.
#include "settings.h"

#include <iniparser.h>

#include <cmath>
#include <cstdlib>
#include <ostream>

#include "globals.h"

const char* const kUsage = "plovo <file>.dat chart_type\nDetails: ReadMe.txt";

namespace {
// iniparser reports a missing file on stderr itself; plovo prints its own line instead.
int IgnoreIniparserError(const char*, ...) {
    return 0;
}

std::string OutOfRange(const std::string& what, int given, const std::string& where,
                       const std::string& expected) {
    return "plovo: " + what + " " + std::to_string(given) + " " + where +
           " is out of range: expected " + expected;
}
}  // namespace

Settings LoadSettings(const std::string& iniPath, std::ostream& out) {
    Settings settings;
    settings.iniPath = iniPath;
    iniparser_set_error_callback(IgnoreIniparserError);
    dictionary* ini = iniparser_load(iniPath.c_str());
    if (ini == nullptr) {
        out << "IniFile error!!! Loading default settings..." << std::endl;
        return settings;
    }
    settings.chartTypeSource = "from display:default in '" + iniPath + "'";
    settings.width = iniparser_getint(ini, "display:width", settings.width);
    settings.height = iniparser_getint(ini, "display:height", settings.height);
    settings.fullscreen = iniparser_getboolean(ini, "display:fullscreen", 0) != 0;
    settings.chartType = iniparser_getint(ini, "display:default", settings.chartType);
    iniparser_freedict(ini);
    return settings;
}

void ApplyCommandLine(int argc, const char* const* argv, Settings& settings) {
    if (argc != 3) return;
    settings.chartType = std::atoi(argv[2]);
    settings.chartTypeSource = std::string("from the command line ('") + argv[2] + "')";
}

std::string SettingsError(const Settings& settings) {
    const std::string inIni = "in '" + settings.iniPath + "'";
    if (settings.width < kMinWidth || settings.width > kMaxSize)
        return OutOfRange("display:width", settings.width, inIni, "1 to 16384");
    if (settings.height < kMinHeight || settings.height > kMaxSize)
        return OutOfRange("display:height", settings.height, inIni, "23 to 16384");
    if (settings.chartType < 1)
        return OutOfRange("chart type", settings.chartType, settings.chartTypeSource,
                          "1 or more (1 to 11 name the log's columns)");
    return "";
}

void SetScale(double extreme) {
    int halfHeight = (iscrHeight - 21) / 2;
    ZeroLine = (iscrHeight - 20) / 2;
    multiplier = extreme == 0.0 ? 1.0 : halfHeight / std::fabs(extreme);
}
