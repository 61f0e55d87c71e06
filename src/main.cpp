// plovo: shows one column of a rail-vehicle simulator's telemetry log as a scrollable chart.
#include <allegro.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "batch.h"
#include "chart.h"
#include "globals.h"
#include "kolejka.h"
#include "logdata.h"
#include "options.h"
#include "picture.h"
#include "platform.h"
#include "settings.h"
#include "viewer.h"

namespace {
const char* const kGraphicsFailure = "GFX init failure! Abnormal termination!";
}

int main(int argc, char** argv) {
    GuardStandardStreams();
    InstallSignalHandlers();
    CommandLine command = ParseOptions(argc, argv);
    if (!command.error.empty()) FatalExit(command.error + "\n" + kUsage);
    if (command.help || command.version) {
        std::cout << (command.help ? HelpText() : "plovo " + std::string(kVersion) + "\n");
        return StatusAfterOutput(0);
    }
    if (command.args.empty()) {
        std::cout << kUsage << std::endl;
        ConsolePause();
        return StatusAfterOutput(1);
    }
    // The arguments left follow the plain command line's rule, with the program's name first.
    std::vector<const char*> args = {argv[0]};
    for (const std::string& arg : command.args) args.push_back(arg.c_str());
    const char* logName = args[1];
    UseNoDisplaySnapshot(command, std::getenv("DISPLAY"));
    std::string error = SameFileError({logName}, Outputs(command));
    if (error.empty()) error = UnwritableError(Outputs(command));
    if (!error.empty()) FatalExit(error);

    Settings settings = LoadSettings(IniPathFor(argv[0]), std::cout);
    if (!settings.iniFailure.empty()) std::cerr << settings.iniFailure << std::endl;
    ApplyCommandLine(static_cast<int>(args.size()), args.data(), settings);
    error = SettingsError(settings);
    if (!error.empty()) FatalExit(error + "\n" + kUsage);
    iscrWidth = settings.width;
    iscrHeight = settings.height;

    LogExtraction extraction(logName, settings.chartType);
    if (!extraction.Start(command.follow, error)) FatalExit(error);
    SetScale(extraction.extreme());

    kolejka window(iscrWidth);
    TypeOfChart(settings.chartType);
    std::int64_t start = command.at ? StartAt(*command.at) : command.start;
    FillWindowAt(window, start);
    Viewer viewer(window);

    if (WantsBatch(command)) {
        if (!WriteBatch(command, start, viewer, logName, settings.chartType, extraction.range(),
                        error))
            FatalExit(error);
        RemoveTempFile();
        return StatusAfterOutput(0);
    }
    // As the window shows it: control bytes escaped, and well-formed UTF-8 for _NET_WM_NAME.
    viewer.logName = PrintableUtf8(FileName(logName));
    if (command.follow) viewer.follower = &extraction;
    viewer.title = WindowTitle(viewer);
    if (!OpenGraphics(settings.fullscreen, viewer.title))
        FatalExit(kGraphicsFailure, GraphicsFailureReason());
    if (!ShowFirstFrame(viewer, screen))
        FatalExit(kGraphicsFailure, "plovo: out of memory for the off-screen bitmaps");
    int status = RunViewer(viewer);

    EndWithin(status);
    CloseGraphics(viewer);
    RemoveTempFile();
    return StatusAfterOutput(status);
}
END_OF_MAIN()
