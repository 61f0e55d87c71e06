// plovo: shows one column of a rail-vehicle simulator's telemetry log as a scrollable chart.
#include <allegro.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "batch.h"
#include "charttypes.h"
#include "console.h"
#include "export.h"
#include "files.h"
#include "globals.h"
#include "graphics.h"
#include "help.h"
#include "kolejka.h"
#include "options.h"
#include "output.h"
#include "plan.h"
#include "records.h"
#include "runsetup.h"
#include "session.h"
#include "settings.h"
#include "signals.h"
#include "summaryrun.h"
#include "tempfiles.h"
#include "text.h"
#include "viewer.h"

namespace {
// plovo.ini beside the program, or the defaults after the two lines that say why.
Settings LoadedSettings(const char* argv0, bool* loaded) {
    Settings settings;
    std::string error;
    *loaded = LoadSettings(IniPathFor(argv0), &settings, &error);
    if (!*loaded) {
        Messages() << "IniFile error!!! Loading default settings..." << std::endl;
        std::cerr << error << std::endl;
    }
    return settings;
}

// What every run of one log does before it reads it: refuses outputs it cannot write, completes
// the plan with the settings, refuses what the run cannot use, and sets the screen size.
Settings PrepareRun(Plan& plan, const char* argv0) {
    std::string error;
    if (!CheckRunOutputs(plan, &error)) FatalExit(error);
    bool loaded = false;
    Settings settings = LoadedSettings(argv0, &loaded);
    if (!CompleteRun(plan, argv0, settings, &error)) FatalExit(error + "\n" + kUsage);
    if (std::string warning = IgnoredArguments(plan, loaded); !warning.empty())
        std::cerr << warning << std::endl;
    iscrWidth = settings.width;
    iscrHeight = settings.height;
    return settings;
}

// The tables over the logs every argument names, in place of the window; 1 when a log could not
// be read, as wc and grep do.
int RunTables(const Plan& plan, const char* argv0) {
    std::string error;
    if (!CheckRunOutputs(plan, &error)) FatalExit(error);
    bool loaded = false;
    Settings settings = LoadedSettings(argv0, &loaded);
    ApplyThresholds(plan, settings);
    if (!CheckSettings(settings, SettingsUsedBy(plan), &error)) FatalExit(error + "\n" + kUsage);
    bool allRead = true;
    auto say = [](const std::string& line) { std::cerr << line << std::endl; };
    if (!WriteTables(plan.tables, settings.analysis, say, &allRead, &error)) FatalExit(error);
    return StatusAfterOutput(allRead ? 0 : 1);
}

int RunExportAlone(Plan plan, const char* argv0) {
    Settings settings = PrepareRun(plan, argv0);
    std::string error;
    if (!StreamExport(plan.batch.exports, plan.log(), settings.charts, &error)) FatalExit(error);
    return StatusAfterOutput(0);
}

int RunBatch(Plan plan, const char* argv0) {
    Settings settings = PrepareRun(plan, argv0);
    std::string error;
    auto say = [](const std::string& line) { std::cerr << line << std::endl; };
    if (!WriteBatch(plan.batch, plan.log(), settings.charts, say, &error)) FatalExit(error);
    RemoveTempFile();
    return StatusAfterOutput(0);
}

// The explorer: plovo-serve, beside this program, in its place, with the same arguments.
int RunServer(char** argv) {
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string server =
        (length > 0 ? SplitPath(std::string(self, length)).dir : ".") + "/plovo-serve";
    execv(server.c_str(), argv);
    FatalExit("plovo: cannot start the explorer '" + Printable(server) +
              "': " + std::strerror(errno));
}

int RunWindow(Plan plan, const char* argv0) {
    Settings settings = PrepareRun(plan, argv0);
    std::string error;
    Session session(plan.log(), {settings.chart});
    if (!session.Open(plan.window.follow, &error)) FatalExit(error);
    kolejka window(iscrWidth);
    TypeOfChart(settings.chart);
    FillWindowAt(window, plan.window.at ? StartAt(*plan.window.at) : plan.window.start);
    Viewer viewer(window);
    // As the window shows it: control bytes escaped, and well-formed UTF-8 for _NET_WM_NAME.
    viewer.logName = PrintableUtf8(FileName(plan.log()));
    if (plan.window.follow) viewer.follower = &session;
    viewer.title = WindowTitle(viewer);
    if (!OpenGraphics(settings.fullscreen, viewer.title, &error))
        FatalExit(kGraphicsFailure, error);
    if (!ShowFirstFrame(viewer, screen))
        FatalExit(kGraphicsFailure, "plovo: out of memory for the off-screen bitmaps");
    int status = RunViewer(viewer);

    EndWithin(status);
    CloseGraphics(viewer.canvases);
    RemoveTempFile();
    return StatusAfterOutput(status);
}
}  // namespace

int main(int argc, char** argv) {
    GuardStandardStreams();
    InstallSignalHandlers();
    Plan plan;
    std::string error;
    bool parsed = ParseOptions(argc, argv, std::getenv("DISPLAY"), &plan, &error);
    // Standard output carries an output alone: a table or a picture given as - or a link to it.
    if (!plan.console || WritesStandardOutput(plan)) UseBatchConsole();
    if (!parsed) FatalExit(error + "\n" + kUsage);
    switch (plan.mode) {
        case Mode::kHelp:
            std::cout << HelpText();
            return StatusAfterOutput(0);
        case Mode::kVersion:
            std::cout << "plovo " << kVersion << "\n";
            return StatusAfterOutput(0);
        case Mode::kUsage:
            Messages() << kUsage << std::endl;
            ConsolePause();
            return StatusAfterOutput(1);
        case Mode::kTables:
            return RunTables(plan, argv[0]);
        case Mode::kExportAlone:
            return RunExportAlone(plan, argv[0]);
        case Mode::kBatch:
            return RunBatch(plan, argv[0]);
        case Mode::kServe:
            return RunServer(argv);
        case Mode::kWindow:
            return RunWindow(plan, argv[0]);
    }
    return 1;
}
END_OF_MAIN()
