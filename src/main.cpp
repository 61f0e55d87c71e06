// plovo: shows one column of a rail-vehicle simulator's telemetry log as a scrollable chart.
#include <allegro.h>

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "batch.h"
#include "chart.h"
#include "charttypes.h"
#include "console.h"
#include "export.h"
#include "extraction.h"
#include "globals.h"
#include "graphics.h"
#include "kolejka.h"
#include "options.h"
#include "outputfile.h"
#include "paths.h"
#include "records.h"
#include "reportplot.h"
#include "settings.h"
#include "signals.h"
#include "sliding.h"
#include "summaryrun.h"
#include "tempfiles.h"
#include "text.h"
#include "viewer.h"

namespace {
// plovo.ini beside the program, or the defaults after the two lines that say why.
Settings LoadedSettings(const char* argv0) {
    Settings settings;
    std::string error;
    if (!LoadSettings(IniPathFor(argv0), &settings, &error)) {
        Messages() << "IniFile error!!! Loading default settings..." << std::endl;
        std::cerr << error << std::endl;
    }
    return settings;
}

// The tables over the logs every argument names, in place of the window; 1 when a log could not
// be read, as wc and grep do.
int WriteTablesOfLogs(const CommandLine& command, const char* argv0) {
    std::string error;
    if (!CheckOutputsAreNotInputs(Inputs(command), Outputs(command), &error) ||
        !CheckOutputsWritable(NamedOutputs(command), &error))
        FatalExit(error);
    Settings settings = LoadedSettings(argv0);
    if (!CheckSettings(settings, &error)) FatalExit(error + "\n" + kUsage);
    bool allRead = true;
    auto say = [](const std::string& line) { std::cerr << line << std::endl; };
    if (!WriteTables(command, settings.analysis, say, &allRead, &error)) FatalExit(error);
    return StatusAfterOutput(allRead ? 0 : 1);
}
}  // namespace

int main(int argc, char** argv) {
    GuardStandardStreams();
    InstallSignalHandlers();
    CommandLine command;
    std::string error;
    bool parsed = ParseOptions(argc, argv, &command, &error);
    // The table or the picture alone there, given as - or through a link.
    if (TableToStandardOutput(command) || WritesStandardOutput(Outputs(command)))
        SendMessagesToStandardError();
    if (!parsed) FatalExit(error + "\n" + kUsage);
    if (command.help || command.version) {
        std::cout << (command.help ? HelpText() : "plovo " + std::string(kVersion) + "\n");
        return StatusAfterOutput(0);
    }
    if (WantsTables(command)) return WriteTablesOfLogs(command, argv[0]);
    if (command.args.empty()) {
        Messages() << kUsage << std::endl;
        ConsolePause();
        return StatusAfterOutput(1);
    }
    // The arguments left follow the plain command line's rule, with the program's name first.
    std::vector<const char*> args = {argv[0]};
    for (const std::string& arg : command.args) args.push_back(arg.c_str());
    const char* logName = args[1];
    UseNoDisplaySnapshot(command, std::getenv("DISPLAY"));
    if (!CheckOutputsAreNotInputs(Inputs(command), Outputs(command), &error) ||
        !CheckOutputsWritable(NamedOutputs(command), &error) ||
        (!command.compare.empty() && !CheckLogReadable(command.compare, &error)))
        FatalExit(error);

    Settings settings = LoadedSettings(argv[0]);
    ApplyCommandLine(static_cast<int>(args.size()), args.data(), settings);
    if (!CheckSettings(settings, &error) ||
        !CheckChartList(command, settings.charts.size(), &error))
        FatalExit(error + "\n" + kUsage);
    iscrWidth = settings.width;
    iscrHeight = settings.height;
    if (ExportsAlone(command)) {
        if (!StreamExport(command.exportTable, logName, settings.charts, ChosenStretch(command),
                          &error))
            FatalExit(error);
        return StatusAfterOutput(0);
    }

    LogExtraction extraction(logName, ExtractedChannels(settings.charts, command.xAxis),
                             RecordsFor(command));
    if (std::optional<StretchChoice> stretch = StatsStretch(command)) extraction.Choose(*stretch);
    if (!extraction.Start(command.follow, &error)) FatalExit(error);
    iFc = static_cast<int>(extraction.records());
    UseRecordFiles(extraction.file(0), extraction.timeFile());
    SetScale(extraction.extreme());

    kolejka window(iscrWidth);
    TypeOfChart(settings.chart);
    std::int64_t start = command.at ? StartAt(*command.at) : command.start;
    FillWindowAt(window, start);
    Viewer viewer(window);

    if (WantsBatch(command)) {
        if (!WriteBatch(command, start, viewer, logName, settings.charts, extraction, &error))
            FatalExit(error);
        RemoveTempFile();
        return StatusAfterOutput(0);
    }
    // As the window shows it: control bytes escaped, and well-formed UTF-8 for _NET_WM_NAME.
    viewer.logName = PrintableUtf8(FileName(logName));
    if (command.follow) viewer.follower = &extraction;
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
END_OF_MAIN()
