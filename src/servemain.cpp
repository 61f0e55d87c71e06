// plovo-serve: the explorer that plovo --serve becomes, kept apart so that plovo's every other
// start loads no web server library (its TLS and compression libraries cost a start 2 ms).
#include <cstdlib>
#include <iostream>
#include <string>

#include "console.h"
#include "files.h"
#include "options.h"
#include "plan.h"
#include "serve.h"
#include "settings.h"
#include "signals.h"
#include "tempfiles.h"

int main(int argc, char** argv) {
    GuardStandardStreams();
    InstallSignalHandlers();
    UseBatchConsole();
    Plan plan;
    std::string error;
    if (!ParseOptions(argc, argv, std::getenv("DISPLAY"), &plan, &error))
        FatalExit(error + "\n" + kUsage);
    if (plan.mode != Mode::kServe) FatalExit("plovo: the explorer runs with --serve and logs");
    Settings settings;
    if (!LoadSettings(IniPathFor(argv[0]), &settings, &error)) {
        Messages() << "IniFile error!!! Loading default settings..." << std::endl;
        std::cerr << error << std::endl;
    }
    if (!CheckSettings(settings, SettingsUsedBy(plan), &error)) FatalExit(error + "\n" + kUsage);
    int status = 1;
    if (!Serve(plan.serve, settings.analysis, &status, &error)) FatalExit(error);
    RemoveTempFile();
    return StatusAfterOutput(status);
}
