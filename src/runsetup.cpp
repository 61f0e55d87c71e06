// A run's settings before it reads a log: the checks of its outputs, plovo.ini under the command
// line's chart type and thresholds, and what the run cannot use.
#include "runsetup.h"

#include <vector>

#include "logreader.h"
#include "output.h"
#include "text.h"

bool CheckRunOutputs(const Plan& plan, std::string* err) {
    const std::string& compare = plan.batch.plot.compare;
    return CheckOneStandardOutputWriter(plan, err) &&
           CheckOutputsAreNotInputs(Inputs(plan), OutputsAndFigures(plan), err) &&
           CheckOutputsWritable(Outputs(plan), err) &&
           (plan.mode != Mode::kBatch || compare.empty() || CheckLogReadable(compare, err));
}

void ApplyThresholds(const Plan& plan, Settings& settings) {
    if (plan.brakeOn) {
        settings.analysis.brakeOn = *plan.brakeOn;
        settings.brakeOnText.reset();
    }
    if (plan.stopSpeed) {
        settings.analysis.stopSpeed = *plan.stopSpeed;
        settings.stopSpeedText.reset();
    }
}

bool CompleteRun(Plan& plan, const char* argv0, Settings& settings, std::string* err) {
    // The arguments left follow the plain command line's rule, with the program's name first.
    std::vector<const char*> args = {argv0};
    for (const std::string& arg : plan.args) args.push_back(arg.c_str());
    ApplyCommandLine(static_cast<int>(args.size()), args.data(), settings);
    ApplyThresholds(plan, settings);
    plan.batch.plot.rule = plan.batch.exports.rule = settings.analysis;
    if (!settings.chartTypeFromCommandLine) plan.batch.brakingPlots.charts = DefaultBrakingCharts();
    return CheckSettings(settings, SettingsUsedBy(plan), err) &&
           CheckChartList(plan, settings.charts.size(), err) &&
           CheckUnitsAndLabels(plan, settings.charts, err);
}

std::string IgnoredArguments(const Plan& plan, bool loaded) {
    if (plan.args.size() <= 2 || plan.mode == Mode::kWindow || plan.batch.standIn) return "";
    std::string ignored;
    for (std::size_t i = 2; i < plan.args.size(); ++i)
        ignored += (ignored.empty() ? "'" : ", '") + Printable(plan.args[i]) + "'";
    return "plovo: more than a log and a chart type given: " + ignored + " ignored, chart type " +
           (loaded ? "from plovo.ini (display:default)" : "by default (2)");
}
