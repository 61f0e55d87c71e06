// The settings from plovo.ini and the plain command line's chart type, and their limits.
#include "settings.h"

#include <fcntl.h>
#include <iniparser.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ostream>

#include "chart.h"
#include "platform.h"

namespace {
// iniparser reports a missing file on stderr itself; plovo prints its own line instead.
int IgnoreIniparserError(const char*, ...) {
    return 0;
}

std::string OutOfRange(const std::string& what, const std::string& given, const std::string& where,
                       const std::string& expected) {
    return "plovo: " + what + " " + given + " " + where + " is out of range: expected " + expected;
}

// The number at the start of text as strtol reads it in `base` (atoi's reading for 10,
// iniparser_getint's for 0). When it does not fit an int, `value` stays and the number's text,
// as written, goes to `unfit`.
void ReadInt(const char* text, int base, int& value, std::string& unfit) {
    while (std::isspace(static_cast<unsigned char>(*text))) ++text;
    char* end = nullptr;
    errno = 0;
    long long number = std::strtoll(text, &end, base);
    if (errno == ERANGE || number < INT_MIN || number > INT_MAX)
        unfit.assign(text, static_cast<std::size_t>(end - text));
    else
        value = static_cast<int>(number);
}

// True when atoi would read digits at the start of text: blanks, a sign, then a digit.
bool BeginsWithNumber(const char* text) {
    while (std::isspace(static_cast<unsigned char>(*text))) ++text;
    if (*text == '+' || *text == '-') ++text;
    return std::isdigit(static_cast<unsigned char>(*text));
}

// Why `given` names no chart type: it begins several names, or none.
std::string UnknownChartType(const std::string& given) {
    std::vector<int> types = ChartTypesNamed(given);
    bool ambiguous = !types.empty();
    if (!ambiguous)
        for (int type = 1; type <= kChartTypes; ++type) types.push_back(type);
    std::string names;
    for (int type : types) names += (names.empty() ? "" : ", ") + std::string(ChartName(type));
    if (ambiguous) return "plovo: chart type '" + Printable(given) + "' is ambiguous: " + names;
    return "plovo: unknown chart type '" + Printable(given) + "': expected a number or one of " +
           names;
}

// A key's number, or its default when the key is missing.
void ReadInt(dictionary* ini, const char* key, int& value, std::string& unfit) {
    if (const char* text = iniparser_getstring(ini, key, nullptr)) ReadInt(text, 0, value, unfit);
}

// A settings file worth reading: a regular file of at most kMaxIniSize bytes. Opened without
// blocking, so that a FIFO in its place cannot hang the start.
bool ReadableIni(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status;
    bool fit = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size <= kMaxIniSize;
    close(fd);
    return fit;
}

}  // namespace

Settings LoadSettings(const std::string& iniPath, std::ostream& out) {
    Settings settings;
    settings.iniPath = iniPath;
    iniparser_set_error_callback(IgnoreIniparserError);
    dictionary* ini = ReadableIni(iniPath) ? iniparser_load(iniPath.c_str()) : nullptr;
    if (ini == nullptr) {
        out << "IniFile error!!! Loading default settings..." << std::endl;
        return settings;
    }
    settings.chartTypeSource = "from display:default in '" + Printable(iniPath) + "'";
    ReadInt(ini, "display:width", settings.width, settings.widthText);
    ReadInt(ini, "display:height", settings.height, settings.heightText);
    settings.fullscreen = iniparser_getboolean(ini, "display:fullscreen", 0) != 0;
    ReadInt(ini, "display:default", settings.chartType, settings.chartTypeText);
    iniparser_freedict(ini);
    return settings;
}

void ApplyCommandLine(int argc, const char* const* argv, Settings& settings) {
    if (argc != 3) return;
    settings.chartTypeText.clear();
    settings.chartTypeName.clear();
    settings.chartType = 0;
    settings.chartTypeSource = "from the command line ('" + Printable(argv[2]) + "')";
    if (!BeginsWithNumber(argv[2])) {
        std::vector<int> types = ChartTypesNamed(argv[2]);
        if (types.size() == 1)
            settings.chartType = types[0];
        else
            settings.chartTypeName = argv[2];
        return;
    }
    ReadInt(argv[2], 10, settings.chartType, settings.chartTypeText);
}

std::string SettingsError(const Settings& settings) {
    const std::string inIni = "in '" + Printable(settings.iniPath) + "'";
    auto shown = [](int number, const std::string& unfit) {
        return unfit.empty() ? std::to_string(number) : Printable(unfit);
    };
    if (!settings.widthText.empty() || settings.width < kMinWidth || settings.width > kMaxSize)
        return OutOfRange("display:width", shown(settings.width, settings.widthText), inIni,
                          "1 to 16384");
    if (!settings.heightText.empty() || settings.height < kMinHeight || settings.height > kMaxSize)
        return OutOfRange("display:height", shown(settings.height, settings.heightText), inIni,
                          "23 to 16384");
    if (!settings.chartTypeName.empty()) return UnknownChartType(settings.chartTypeName);
    if (!settings.chartTypeText.empty() || settings.chartType < 1)
        return OutOfRange("chart type", shown(settings.chartType, settings.chartTypeText),
                          settings.chartTypeSource, "1 or more (1 to 11 name the log's columns)");
    return "";
}
