// The run's plan, decided once from the command line: its mode, and one request per output.
#include "plan.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "output.h"
#include "text.h"

const std::string& Plan::log() const {
    static const std::string none;
    return args.empty() ? none : args[0];
}

std::vector<std::string> Outputs(const Plan& plan) {
    if (plan.mode == Mode::kTables) {
        std::vector<std::string> tables = plan.tables.summaries;
        tables.insert(tables.end(), plan.tables.brakings.begin(), plan.tables.brakings.end());
        return tables;
    }
    if (plan.mode != Mode::kBatch && plan.mode != Mode::kExportAlone) return {};
    const BatchRequest& batch = plan.batch;
    std::vector<std::string> outputs;
    for (const std::vector<std::string>* files :
         {&batch.snapshots, &batch.overviews, &batch.plot.paths, &batch.exports.targets})
        outputs.insert(outputs.end(), files->begin(), files->end());
    // The first braking's file stands for the others: its folder, and a clash with another output.
    for (const std::string& pattern : batch.brakingPlots.patterns)
        outputs.push_back(BrakingPlotPath(pattern, 1));
    return outputs;
}

std::vector<std::string> Inputs(const Plan& plan) {
    if (plan.mode == Mode::kTables) return plan.tables.logs;  // every one
    if (plan.mode == Mode::kServe) return {};
    std::vector<std::string> inputs;
    if (!plan.args.empty()) inputs.push_back(plan.args[0]);
    if (plan.mode == Mode::kBatch && !plan.batch.plot.compare.empty())
        inputs.push_back(plan.batch.plot.compare);
    return inputs;
}

bool WritesStandardOutput(const Plan& plan) {
    std::vector<std::string> outputs = Outputs(plan);
    return std::any_of(outputs.begin(), outputs.end(), [](const std::string& output) {
        return output == "-" || IsStandardOutput(output, false);
    });
}

bool CheckOneStandardOutputWriter(const Plan& plan, std::string* err) {
    struct stat out;
    bool shared = fstat(STDOUT_FILENO, &out) != 0 || S_ISCHR(out.st_mode);
    std::vector<std::string> writers;
    auto note = [&](const char* option, const std::vector<std::string>& files) {
        for (const std::string& file : files)
            if (file == "-" || (!shared && IsStandardOutput(file, false)))
                writers.push_back(std::string(option) + " " +
                                  (file == "-" ? "-" : "'" + Printable(file) + "'"));
    };
    const BatchRequest& batch = plan.batch;
    if (plan.mode == Mode::kTables) {
        note("--summary", plan.tables.summaries);
        note("--brakings", plan.tables.brakings);
    } else if (plan.mode == Mode::kBatch || plan.mode == Mode::kExportAlone) {
        note("--snapshot", batch.standIn ? std::vector<std::string>{} : batch.snapshots);
        note("--overview", batch.overviews);
        note("--plot", batch.plot.paths);
        note("--export", batch.exports.targets);
        if (batch.stats.asked) writers.push_back("--stats");
    }
    return writers.size() < 2 || Refuse(err, "plovo: " + writers[0] + " and " + writers[1] +
                                                 " both write to standard output: give one of "
                                                 "them");
}

std::vector<std::string> OutputsAndFigures(const Plan& plan) {
    std::vector<std::string> outputs = Outputs(plan);
    if (plan.mode == Mode::kBatch && plan.batch.stats.asked) outputs.push_back("-");
    return outputs;
}

SettingsUse SettingsUsedBy(const Plan& plan) {
    SettingsUse use;
    const BatchRequest& batch = plan.batch;
    switch (plan.mode) {
        case Mode::kWindow:
            use.screen = use.chartType = true;
            break;
        case Mode::kBatch:
            // The pictures show the window; a plot without --to draws the window's first view.
            use.screen = !batch.snapshots.empty() || !batch.overviews.empty() ||
                         (!batch.plot.paths.empty() && !batch.plot.stretch.to);
            // --plot-brakings alone shows its own chart types unless the command line names some.
            use.chartType = !batch.snapshots.empty() || !batch.overviews.empty() ||
                            !batch.plot.paths.empty() || !batch.exports.targets.empty() ||
                            batch.stats.asked || plan.args.size() >= 2;
            use.analysis = batch.plot.marks || batch.plot.origin == Origin::kBrake ||
                           !batch.brakingPlots.patterns.empty();
            break;
        case Mode::kExportAlone:
            use.chartType = true;
            break;
        case Mode::kTables:
        case Mode::kServe:
            use.analysis = true;
            break;
        case Mode::kUsage:
        case Mode::kHelp:
        case Mode::kVersion:
            break;
    }
    return use;
}

bool CheckChartList(const Plan& plan, std::size_t charts, std::string* err) {
    const BatchRequest& batch = plan.batch;
    const char* one = nullptr;
    if (plan.mode == Mode::kWindow || batch.standIn)
        one = "the window";
    else if (plan.mode == Mode::kBatch)
        one = !batch.snapshots.empty()   ? "--snapshot"
              : !batch.overviews.empty() ? "--overview"
              : batch.stats.asked        ? "--stats"
                                         : nullptr;
    return charts <= 1 || one == nullptr ||
           Refuse(err, std::string("plovo: ") + one +
                           " shows one chart type: a list of them is for --plot and --export");
}

std::vector<Channel> DefaultBrakingCharts() {
    return {ColumnChannel(2), ColumnChannel(9), ColumnChannel(10)};
}

std::string BrakingPlotPath(const std::string& pattern, std::int64_t number) {
    std::string path;
    for (std::size_t at = 0; at < pattern.size(); ++at) {
        bool escape = pattern[at] == '%' && at + 1 < pattern.size();
        if (escape && pattern[at + 1] == 'n')
            path += std::to_string(number);
        else if (escape && pattern[at + 1] == '%')
            path += '%';
        else
            path += pattern[at];
        at += escape ? 1 : 0;
    }
    return path;
}

bool CheckUnitsAndLabels(const Plan& plan, const std::vector<Channel>& charts, std::string* err) {
    const BatchRequest& batch = plan.batch;
    if (plan.mode != Mode::kBatch && plan.mode != Mode::kExportAlone) return true;
    std::vector<Channel> labelled;  // what the plots and the figures show
    if (!batch.plot.paths.empty()) labelled = charts;
    if (!batch.brakingPlots.patterns.empty()) {
        const std::vector<Channel>& figures =
            batch.brakingPlots.charts.empty() ? charts : batch.brakingPlots.charts;
        labelled.insert(labelled.end(), figures.begin(), figures.end());
    }
    if (batch.stats.asked && !charts.empty()) labelled.push_back(charts[0]);
    std::vector<Channel> converted = labelled;
    if (!batch.exports.targets.empty())
        converted.insert(converted.end(), charts.begin(), charts.end());
    bool distanceAxis = batch.plot.x == XAxis::kDistance &&
                        (!batch.plot.paths.empty() || !batch.brakingPlots.patterns.empty());
    if (!batch.plot.units.CheckFits(converted, distanceAxis, err)) return false;
    for (const auto& [chart, text] : batch.plot.labels)
        if (std::find(labelled.begin(), labelled.end(), chart) == labelled.end())
            return Refuse(err, "plovo: --label " +
                                   (ChannelName(chart).empty() ? std::to_string(chart.column)
                                                               : ChannelName(chart)) +
                                   "='" + Printable(text) +
                                   "' labels a chart type that no plot nor --stats shows");
    return true;
}
