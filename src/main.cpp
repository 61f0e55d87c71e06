// plovo: shows one column of a rail-vehicle simulator's telemetry log as a scrollable chart.
#include <iostream>
#include <string>

#include "globals.h"
#include "kolejka.h"
#include "logdata.h"
#include "platform.h"
#include "settings.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cout << kUsage << std::endl;
        ConsolePause();
        return 1;
    }
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
    FillWindow(window);

    RemoveTempFile();
    return 0;
}
