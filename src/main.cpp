// plovo: shows one column of a rail-vehicle simulator's telemetry log as a scrollable chart.
#include <allegro.h>

#include <iostream>
#include <string>

#include "chart.h"
#include "globals.h"
#include "kolejka.h"
#include "logdata.h"
#include "platform.h"
#include "settings.h"
#include "viewer.h"

namespace {
const char* const kGraphicsFailure = "GFX init failure! Abnormal termination!";
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cout << kUsage << std::endl;
        ConsolePause();
        return 1;
    }
    InstallSignalHandlers();
    Settings settings = LoadSettings(IniPathFor(argv[0]), std::cout);
    ApplyCommandLine(argc, argv, settings);
    std::string error = SettingsError(settings);
    if (!error.empty()) FatalExit(error + "\n" + kUsage);
    iscrWidth = settings.width;
    iscrHeight = settings.height;

    double extreme = MakeTempFile(argv[1], settings.chartType, error);
    if (!error.empty()) FatalExit(error);
    SetScale(extreme);

    kolejka window(iscrWidth);
    TypeOfChart(settings.chartType);
    FillWindow(window);

    if (!OpenGraphics(settings.fullscreen)) FatalExit(kGraphicsFailure);
    Viewer viewer{window, {}, 0};
    if (!ShowFirstFrame(viewer, screen)) FatalExit(kGraphicsFailure);
    int status = RunViewer(viewer);

    CloseGraphics(viewer);
    RemoveTempFile();
    return status;
}
END_OF_MAIN()
