// The settings from plovo.ini and the plain command line's chart type, and their limits.
#include "settings.h"

#include <fcntl.h>
#include <iniparser.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "charttypes.h"
#include "files.h"
#include "number.h"
#include "text.h"

namespace {
// The first problem iniparser met in the file being loaded; "" when none.
std::string parseProblem;

// iniparser would print its problems on stderr; plovo keeps the first for its own line. Those
// about one line of the file pass the file's name and the line's number ("... in %s (%d)").
int NoteIniparserError(const char* format, ...) {
    if (!parseProblem.empty()) return 0;
    if (std::strstr(format, "(%d)") == nullptr) {
        parseProblem = "iniparser cannot read it";
        return 0;
    }
    va_list args;
    va_start(args, format);
    va_arg(args, const char*);
    std::string line = std::to_string(va_arg(args, int));
    va_end(args);
    parseProblem = std::strstr(format, "too long") ? "line " + line + " is too long"
                                                   : "syntax error on line " + line;
    return 0;
}

std::string OutOfRange(const std::string& what, const std::string& given, const std::string& where,
                       const std::string& expected) {
    return "plovo: " + what + " " + given + " " + where + " is out of range: expected " + expected;
}

// A number as plovo reads it: as atoi reads the start of text, or, when `whole`, as the whole
// text, a decimal number with blanks around it (leading zeros are decimal: 0640 is 640). When the
// text is no such number, or the number does not fit an int, `value` stays and `unfit` gets the
// text as the message names it: the number's digits, or the whole text quoted.
void ReadInt(const char* text, bool whole, int& value, std::string& unfit) {
    auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (blank(*text)) ++text;
    char* end = nullptr;
    errno = 0;
    long long number = std::strtoll(text, &end, 10);
    const char* rest = end;
    while (blank(*rest)) ++rest;
    if (whole && (end == text || *rest != '\0')) {
        std::string written = text;
        while (!written.empty() && blank(written.back())) written.pop_back();
        unfit = "'" + written + "'";
    } else if (errno == ERANGE || number < INT_MIN || number > INT_MAX) {
        unfit.assign(text, static_cast<std::size_t>(end - text));
    } else {
        value = static_cast<int>(number);
    }
}

// True when atoi would read digits at the start of text: blanks, a sign, then a digit.
bool BeginsWithNumber(const char* text) {
    while (std::isspace(static_cast<unsigned char>(*text))) ++text;
    if (*text == '+' || *text == '-') ++text;
    return std::isdigit(static_cast<unsigned char>(*text));
}

// Why `given` (from `where`) names no chart type: it begins several names, or none.
std::string UnknownChartType(const std::string& given, const std::string& where) {
    std::vector<std::string> candidates;
    for (const Channel& channel : ChannelsNamed(given)) candidates.push_back(ChannelName(channel));
    bool ambiguous = !candidates.empty();
    if (!ambiguous) candidates = ChannelNames();
    std::string names;
    for (const std::string& name : candidates) names += (names.empty() ? "" : ", ") + name;
    const std::string shown = "'" + Printable(given) + "'" + where;
    if (ambiguous) return "plovo: chart type " + shown + " is ambiguous: " + names;
    return "plovo: unknown chart type " + shown + ": expected a number or one of " + names;
}

// One chart type as written: a number (the whole text when `whole`, see ReadInt), or, when the
// text does not begin with one, a chart type's name or a unique beginning of one. False, with the
// text kept for the message, when it names none, or its number is below 1 or does not fit an int.
bool ReadOneChartType(const std::string& text, bool whole, Settings& settings, Channel* chart) {
    *chart = ColumnChannel(0);
    if (BeginsWithNumber(text.c_str())) {
        ReadInt(text.c_str(), whole, chart->column, settings.chartTypeText);
        return settings.chartTypeText.empty() && chart->column >= 1;
    }
    std::vector<Channel> named = ChannelsNamed(text);
    if (named.size() == 1) *chart = named[0];
    if (named.size() != 1) settings.chartTypeName = text;
    return named.size() == 1;
}

// A chart type as written, or a comma-separated list of them; the list stops at the first that
// is wrong.
void ReadChartType(const char* text, bool whole, Settings& settings) {
    settings.chartTypeText.clear();
    settings.chartTypeName.reset();
    settings.charts.clear();
    for (const std::string& name : SplitAt(text, ',')) {
        Channel chart;
        bool read = ReadOneChartType(name, whole, settings, &chart);
        settings.charts.push_back(chart);
        if (!read) break;
    }
    settings.chart = settings.charts[0];
}

// A key's number, the whole value, or its default when the key is missing.
void ReadInt(dictionary* ini, const char* key, int& value, std::string& unfit) {
    if (const char* text = iniparser_getstring(ini, key, nullptr))
        ReadInt(text, true, value, unfit);
}

// An analysis key's number into `value`, or, when it is not a positive finite decimal number,
// its text as written into `invalid`; the default stays when the key is missing.
void ReadAnalysis(dictionary* ini, const char* key, double& value,
                  std::optional<std::string>& invalid) {
    const char* text = iniparser_getstring(ini, key, nullptr);
    if (text == nullptr) return;
    if (std::optional<double> number = ReadPositiveDecimal(text))
        value = *number;
    else
        invalid = text;
}

// The line that refuses the first analysis key whose value is no positive finite decimal number.
std::string RefusedAnalysis(const Settings& settings, const std::string& inIni) {
    bool brakeOn = settings.brakeOnText.has_value();
    const std::string& text = brakeOn ? *settings.brakeOnText : *settings.stopSpeedText;
    return OutOfRange(brakeOn ? "analysis:brake_on" : "analysis:stop_speed",
                      "'" + Printable(text) + "'", inIni, "a positive finite decimal number");
}

// The settings file's bytes, when it is one worth reading: a regular file of at most kMaxIniSize
// bytes, opened without blocking, so that a FIFO in its place cannot hang the start. Else "" with
// why not in `why`.
std::string ReadIni(const std::string& path, std::string* why) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = std::strerror(errno);
        return "";
    }
    struct stat status;
    std::string bytes;
    if (fstat(fd, &status) != 0)
        *why = std::strerror(errno);
    else if (S_ISDIR(status.st_mode))
        *why = std::strerror(EISDIR);
    else if (!S_ISREG(status.st_mode))
        *why = "not a regular file";
    else if (status.st_size > kMaxIniSize)
        *why = "larger than 64 KiB";
    char block[4096];
    ssize_t got = 0;
    while (why->empty() && (got = ReadSome(fd, block, sizeof block)) > 0)
        bytes.append(block, static_cast<std::size_t>(got));
    if (why->empty() && got < 0) *why = std::strerror(errno);
    close(fd);
    return bytes;
}

// Why iniparser cannot be given these bytes as they are: a NUL, which it would take for the end of
// its line and then call the line too long. "" when none.
std::string NulProblem(const std::string& bytes) {
    std::size_t nul = bytes.find('\0');
    if (nul == std::string::npos) return "";
    long line = 1 + std::count(bytes.begin(), bytes.begin() + static_cast<long>(nul), '\n');
    return "line " + std::to_string(line) + " holds a NUL byte";
}

// Loads the settings from `bytes`, read from `path`: the file itself, or, when an editor began it
// with a UTF-8 byte-order mark, which iniparser would take for part of the first line, a copy
// without it in memory. Null when iniparser cannot read it.
dictionary* LoadIni(const std::string& path, const std::string& bytes) {
    const std::string mark = "\xEF\xBB\xBF";
    if (bytes.compare(0, mark.size(), mark) != 0) return iniparser_load(path.c_str());
    int copy = memfd_create("plovo.ini", MFD_CLOEXEC);
    std::size_t written = 0;
    dictionary* ini = nullptr;
    if (copy >= 0 &&
        WriteAll(copy, bytes.data() + mark.size(), bytes.size() - mark.size(), &written))
        ini = iniparser_load(("/proc/self/fd/" + std::to_string(copy)).c_str());
    else
        parseProblem = std::string("cannot copy it: ") + std::strerror(errno);
    if (copy >= 0) close(copy);
    return ini;
}

// The line that says which settings file was tried and why it gave none. A path without a
// directory is shown as ./plovo.ini, and a symbolic link with its target, where the settings of
// an installed plovo are edited.
std::string IniFailure(const std::string& path, const std::string& why) {
    std::string shown =
        "'" + Printable(path.find('/') == std::string::npos ? "./" + path : path) + "'";
    char target[4096];
    ssize_t length = readlink(path.c_str(), target, sizeof target);
    if (length > 0 && length < static_cast<ssize_t>(sizeof target))
        shown += " (a link to '" + Printable(std::string(target, length)) + "')";
    return "plovo: no settings in " + shown + ": " + why;
}

// The first chart type that is a column below 1, or null.
const Channel* NoColumn(const Settings& settings) {
    auto none = [](const Channel& chart) {
        return chart.derived == Derived::kNone && chart.column < 1;
    };
    if (none(settings.chart)) return &settings.chart;
    for (const Channel& chart : settings.charts)
        if (none(chart)) return &chart;
    return nullptr;
}
}  // namespace

std::optional<double> ReadPositiveDecimal(const char* text) {
    std::string number = text;
    number.erase(number.find_last_not_of(" \t") + 1);  // the blanks a value of plovo.ini may end in
    std::optional<double> value = ReadDecimal(number.c_str());
    if (value && !(*value > 0)) return std::nullopt;
    return value;
}

bool LoadSettings(const std::string& iniPath, Settings* settings, std::string* err) {
    *settings = Settings();
    settings->iniPath = iniPath;
    std::string why;
    std::string bytes = ReadIni(iniPath, &why);
    if (why.empty()) why = NulProblem(bytes);
    parseProblem.clear();
    iniparser_set_error_callback(NoteIniparserError);
    dictionary* ini = why.empty() ? LoadIni(iniPath, bytes) : nullptr;
    if (ini == nullptr) {
        *err = IniFailure(iniPath, why.empty() ? parseProblem : why);
        return false;
    }
    settings->chartTypeSource = "from display:default in '" + Printable(iniPath) + "'";
    ReadInt(ini, "display:width", settings->width, settings->widthText);
    ReadInt(ini, "display:height", settings->height, settings->heightText);
    settings->fullscreen = iniparser_getboolean(ini, "display:fullscreen", 0) != 0;
    if (const char* type = iniparser_getstring(ini, "display:default", nullptr))
        ReadChartType(type, true, *settings);
    ReadAnalysis(ini, "analysis:brake_on", settings->analysis.brakeOn, settings->brakeOnText);
    ReadAnalysis(ini, "analysis:stop_speed", settings->analysis.stopSpeed, settings->stopSpeedText);
    iniparser_freedict(ini);
    return true;
}

void ApplyCommandLine(int argc, const char* const* argv, Settings& settings) {
    if (argc != 3) return;
    settings.chartTypeSource = "from the command line ('" + Printable(argv[2]) + "')";
    settings.chartTypeFromCommandLine = true;
    ReadChartType(argv[2], false, settings);
}

bool CheckSettings(const Settings& settings, const SettingsUse& use, std::string* err) {
    const std::string inIni = "in '" + Printable(settings.iniPath) + "'";
    auto shown = [](int number, const std::string& unfit) {
        return unfit.empty() ? std::to_string(number) : Printable(unfit);
    };
    if (use.screen &&
        (!settings.widthText.empty() || settings.width < kMinWidth || settings.width > kMaxSize))
        *err = OutOfRange("display:width", shown(settings.width, settings.widthText), inIni,
                          "1 to 16384");
    else if (use.screen && (!settings.heightText.empty() || settings.height < kMinHeight ||
                            settings.height > kMaxSize))
        *err = OutOfRange("display:height", shown(settings.height, settings.heightText), inIni,
                          "23 to 16384");
    else if (use.chartType && settings.chartTypeName)
        *err = UnknownChartType(*settings.chartTypeName, settings.chartTypeFromCommandLine
                                                             ? ""
                                                             : " " + settings.chartTypeSource);
    else if (use.analysis && (settings.brakeOnText || settings.stopSpeedText))
        *err = RefusedAnalysis(settings, inIni);
    else if (use.chartType && (!settings.chartTypeText.empty() || NoColumn(settings) != nullptr))
        *err = OutOfRange(
            "chart type",
            shown(NoColumn(settings) ? NoColumn(settings)->column : 0, settings.chartTypeText),
            settings.chartTypeSource, "1 or more (1 to 11 name the log's columns)");
    else if (use.chartType && settings.charts.size() > kMaxCharts)
        *err = "plovo: " + std::to_string(settings.charts.size()) + " chart types " +
               settings.chartTypeSource + ": at most " + std::to_string(kMaxCharts);
    else
        return true;
    return false;
}
