// The command line made into the run's plan: options taken out wherever they stand, shortened,
// given again, refused with one clear line, and the mode and the console's ways they decide.
#include "options.h"

#include <sstream>

#include "test_util.h"

namespace {
// What ParseOptions made of the arguments (after a program name), with the display named or not.
struct Parse {
    Plan plan;
    std::string err;  // "" when taken
};
Parse ParseOf(std::vector<std::string> args, const char* display = ":0") {
    args.insert(args.begin(), "plovo");
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    Parse parse;
    ParseOptions(static_cast<int>(argv.size()), argv.data(), display, &parse.plan, &parse.err);
    return parse;
}

std::string Join(const std::vector<std::string>& items) {
    std::string joined;
    for (const std::string& item : items) joined += (joined.empty() ? "" : ",") + item;
    return joined;
}

// The plan in one line, or the refusal.
std::string Parsed(const std::vector<std::string>& args) {
    Parse parse = ParseOf(args);
    if (!parse.err.empty()) return parse.err;
    const Plan& plan = parse.plan;
    const BatchRequest& batch = plan.batch;
    const char* modes[] = {"usage", "help", "version", "window", "batch", "export", "tables"};
    std::ostringstream line;
    line << modes[static_cast<int>(plan.mode)] << " " << plan.window.start;
    if (batch.at) line << " at " << *batch.at;
    if (!batch.plot.paths.empty()) {
        PlotSize size = batch.plot.size.value_or(PlotSize{});
        line << " plot " << Join(batch.plot.paths) << " " << size.width << "x" << size.height
             << " x " << int(batch.plot.x);
    }
    if (batch.plot.stretch.to) line << " to " << *batch.plot.stretch.to;
    if (!batch.plot.compare.empty()) line << " compare " << batch.plot.compare;
    if (batch.plot.title) line << " title '" << *batch.plot.title << "'";
    const char* origins[] = {"log", "start", "brake"};
    if (batch.plot.origin != Origin::kLog) line << " origin " << origins[int(batch.plot.origin)];
    if (batch.plot.compareAt) line << " @" << *batch.plot.compareAt;
    if (batch.plot.marks) line << " marks";
    if (batch.plot.dpi) line << " dpi " << *batch.plot.dpi;
    for (const auto& [chart, text] : batch.plot.labels)
        line << " label " << ChannelId(chart) << "='" << text << "'";
    if (!batch.brakingPlots.patterns.empty())
        line << " brakings " << Join(batch.brakingPlots.patterns) << " "
             << batch.brakingPlots.before << "+" << batch.brakingPlots.after;
    if (!batch.exports.targets.empty()) line << " export " << Join(batch.exports.targets);
    if (!batch.overviews.empty()) line << " overview " << Join(batch.overviews);
    if (batch.stats.asked) line << " stats";
    if (plan.window.follow) line << " follow";
    line << " [" << Join(batch.snapshots) << "]";
    if (!plan.noDisplaySnapshot.empty()) line << " {" << plan.noDisplaySnapshot << "}";
    if (plan.mode == Mode::kTables)
        line << " summary{" << Join(plan.tables.summaries) << "} brakings{"
             << Join(plan.tables.brakings) << "}" << (plan.tables.noHeader ? " no-header" : "");
    if (!plan.tables.sortColumn.empty())
        line << " sort " << plan.tables.sortColumn << (plan.tables.descending ? " desc" : "");
    if (plan.tables.top) line << " top " << *plan.tables.top;
    if (plan.brakeOn) line << " brake-on " << *plan.brakeOn;
    if (plan.stopSpeed) line << " stop-speed " << *plan.stopSpeed;
    for (const auto& arg : plan.args) line << " " << arg;
    return line.str();
}

// Each row: the arguments, and the plan in one line or the refusal.
using Table = std::vector<std::pair<std::vector<std::string>, std::string>>;
void Check(const Table& table) {
    for (const auto& [args, expected] : table) EXPECT_EQ(Parsed(args), expected) << Join(args);
}

const std::string badStart = "plovo: --start takes a sample number of 1 or more, not '";
const std::string badAt = "plovo: --at takes a time in seconds, not '";
}  // namespace

TEST(OptionsParse, TakenOutWhereverTheyStand) {
    Check(
        {{{"log.dat"}, "window 1 [] log.dat"},
         {{"--start", "52000", "log.dat", "3"}, "window 52000 [] log.dat 3"},
         {{"log.dat", "--start=7", "3", "x"}, "window 7 [] log.dat 3 x"},
         {{"log.dat", "3", "--snapshot", "out.PNG"}, "batch 1 [out.PNG] log.dat 3"},
         {{"--", "-x.dat", "--start"}, "window 1 [] -x.dat --start"},
         {{"-h", "log.dat"}, "help 1 [] log.dat"},
         {{"--version"}, "version 1 []"},
         {{}, "usage 1 []"},
         {{"--at", "280.5", "log.dat", "velocity"}, "window 1 at 280.5 [] log.dat velocity"},
         {{"--at=-1e3", "--overview", "o.PNG", "--stats", "l"},
          "batch 1 at -1000 overview o.PNG stats [] l"},
         {{"--plot", "b.SVG", "--at", "270", "--to=330", "l"},
          "batch 1 at 270 plot b.SVG 800x500 x 0 to 330 [] l"},
         {{"--plot=b.pdf", "--plot-s", "1600X1000", "l"}, "batch 1 plot b.pdf 1600x1000 x 0 [] l"},
         {{"--export", "-", "--at", "270", "--to=330", "l", "2,9"},
          "export 1 at 270 to 330 export - [] l 2,9"},
         {{"--plot", "p.png", "--x", "Dist", "--comp", "b.dat", "--title", "", "--exp=e.csv", "l"},
          "batch 1 plot p.png 800x500 x 1 compare b.dat title '' export e.csv [] l"},
         {{"--plot", "p.png", "--x", "t", "--title=Brzdění", "l"},
          "batch 1 plot p.png 800x500 x 0 title 'Brzdění' [] l"},
         {{"--stats", "--at", "280", "--to", "330", "l"}, "batch 1 at 280 to 330 stats [] l"},
         {{"log.dat", "-f"}, "window 576460752303423487 follow [] log.dat"},  // last screen
         {{"--follow", "--start", "3", "log.dat"}, "window 3 follow [] log.dat"},
         {{"--at", "5", "--fol", "--no-d", "b.png", "l"}, "window 1 at 5 follow [] {b.png} l"},
         // Unique beginnings name an option.
         {{"--snap", "a.png", "--star=3", "--no-d", "b.tga", "log.dat"},
          "batch 3 [a.png] {b.tga} log.dat"},
         {{"--h", "--vers"}, "help 1 []"}});
}

TEST(OptionsParse, ValuesAreRefusedAsWritten) {
    Check(
        {{{"--start", "0", "log.dat"}, badStart + "0'"},
         {{"--start=-1", "log.dat"}, badStart + "-1'"},
         {{"--start", "12abc", "log.dat"}, badStart + "12abc'"},
         {{"--start=", "log.dat"}, badStart + "'"},
         {{"--start", "+5", "log.dat"}, badStart + "+5'"},
         {{"--snapshot=a.bmp", "--start", "99999999999999999999"},
          "usage 576460752303423487 [a.bmp]"},
         {{"log.dat", "--start"}, "plovo: option --start needs a value"},
         {{"--snapshot", "a.jpg", "log.dat"},
          "plovo: cannot save a picture as 'a.jpg': the name must end in .png, .bmp, .tga or "
          ".pcx"},
         {{"--snapshot", "png", "log.dat"},
          "plovo: cannot save a picture as 'png': the name must end in .png, .bmp, .tga or .pcx"},
         {{"--overview", "o.jpg", "log.dat"},
          "plovo: cannot save a picture as 'o.jpg': the name must end in .png, .bmp, .tga or "
          ".pcx"},
         {{"--plot", "a.bmp", "l"},
          "plovo: cannot write a plot as 'a.bmp': the name must end in .png, .svg or .pdf"},
         {{"--at", "nan", "log.dat"}, badAt + "nan'"},
         {{"--at", "1e999", "log.dat"}, badAt + "1e999'"},
         {{"--at", "12s", "log.dat"}, badAt + "12s'"},
         {{"--at", "0x10", "log.dat"}, badAt + "0x10'"},  // decimal only, as the settings
         {{"--at=", "log.dat"}, badAt + "'"},
         {{"--plot", "p.png", "--x", "speed", "l"},
          "plovo: --x takes time or distance, not 'speed'"},
         {{"--plot", "p.png", "--x=", "l"}, "plovo: --x takes time or distance, not ''"},
         {{"--plot", "b.png", "--to", "inf"}, "plovo: --to takes a time in seconds, not 'inf'"},
         {{"--plot", "p.png", "--plot-size", "99x500", "l"},
          "plovo: --plot-size takes WIDTHxHEIGHT, each 100 to 10000 pixels, not '99x500'"},
         {{"--export=", "l"}, "plovo: --export takes a file name, or - for standard output"},
         {{"--bogus=1", "log.dat"}, "plovo: unknown option --bogus"},
         {{"log.dat", "-hq"}, "plovo: unknown option -q"},
         {{"--help=x"}, "plovo: option --help takes no value"},
         {{"--vers=x"}, "plovo: option --vers takes no value"},
         {{"--t", "5", "l"}, "plovo: option --t is ambiguous: --to, --title, --top"},
         {{"--s", "5", "log.dat"},
          "plovo: option --s is ambiguous: --start, --snapshot, --stats, --summary, --stop-speed, "
          "--sort, --serve"},
         {{"--no", "a.dat"}, "plovo: option --no is ambiguous: --no-display-snapshot, --no-header"},
         {{"log.dat", "--sn"}, "plovo: option --sn needs a value"},
         {{"--\x9b=1"}, "plovo: unknown option --\\x9b"}});
}

TEST(OptionsParse, APlotSizeIsTwoWholeNumbersOfPixels) {
    for (const std::string size : {"800x500", "100X10000"})
        EXPECT_EQ(Parsed({"--plot", "p.png", "--plot-size", size, "l"}).substr(0, 6), "batch ");
    for (const std::string size : {"99x500", "10001x500", "800x", "x500", "800x500x1", "+800x500",
                                   " 800x500", "99999999999x500", ""})
        EXPECT_EQ(
            Parsed({"--plot", "p.png", "--plot-size", size, "l"}),
            "plovo: --plot-size takes WIDTHxHEIGHT, each 100 to 10000 pixels, not '" + size + "'");
}

TEST(OptionsParse, AnOutputGivenAgainIsWrittenAgainAndAValueOnlyOnce) {
    Check({{{"--plot", "a.pdf", "--plot", "a.png", "--at", "5", "--to", "9", "l"},
            "batch 1 at 5 plot a.pdf,a.png 800x500 x 0 to 9 [] l"},
           {{"--export", "a.csv", "--export", "-", "l"}, "export 1 export a.csv,- [] l"},
           {{"--snapshot", "a.png", "--snapshot", "b.bmp", "--overview", "c.png", "--overview",
             "d.tga", "l"},
            "batch 1 overview c.png,d.tga [a.png,b.bmp] l"},
           // The same value twice is the value once.
           {{"--to", "5", "--stats", "--to", "5.0", "l"}, "batch 1 to 5 stats [] l"},
           {{"--to", "5", "--to", "6", "--stats", "l"},
            "plovo: --to is given twice, as '5' and '6': it takes one value"},
           {{"--plot", "p.png", "--x", "time", "--x", "distance", "l"},
            "plovo: --x is given twice, as 'time' and 'distance': it takes one value"},
           {{"--plot", "p.png", "--compare", "a.dat", "--compare", "b.dat", "l"},
            "plovo: --compare is given twice, as 'a.dat' and 'b.dat': it takes one value"},
           {{"--start", "3", "--start", "4", "l"},
            "plovo: --start is given twice, as '3' and '4': it takes one value"}});
}

TEST(OptionsConflicts, WhereToOpenIsSaidOnce) {
    Check({{{"--at", "5", "--start", "3"},
            "plovo: --at and --start both say where to open: give one of them"}});
}

TEST(OptionsConflicts, AStretchEndGoesWithAnOutputOfAStretch) {
    Check({{{"--to", "330", "l"},
            "plovo: --to goes with --plot, --export or --stats, none of which is given"},
           {{"--stats", "--at", "280", "--to", "279", "l"},
            "plovo: --to 279 is earlier than --at 280"},
           {{"--plot", "b.png", "--at", "1.0000002", "--to", "1.0000001"},
            "plovo: --to 1.0000001 is earlier than --at 1.0000002"},
           {{"--plot-brakings", "b%n.pdf", "--at", "1500", "l"},
            "plovo: --at goes with the window, --snapshot, --overview, --plot, --export or "
            "--stats: --plot-brakings draws every braking of the log"},
           {{"--plot-brakings", "b%n.pdf", "--start", "9", "l"},
            "plovo: --start goes with the window, --snapshot, --overview, --plot, --export or "
            "--stats: --plot-brakings draws every braking of the log"},
           {{"--plot-brakings", "b%n.pdf", "--stats", "--at", "1500", "l"},
            "batch 1 at 1500 brakings b%n.pdf 10+5 stats [] l"}});
}

TEST(OptionsConflicts, PlotOptionsGoWithThePlot) {
    const std::string figures = " goes with --plot or --plot-brakings, none of which is given";
    Check({{{"--x", "time", "--export", "e.csv", "l"}, "plovo: --x" + figures},
           {{"--compare", "b.dat", "l"}, "plovo: --compare goes with --plot, which is not given"},
           {{"--compare", "b.dat", "--plot-brakings", "b%n.pdf", "l"},
            "plovo: --compare goes with --plot, which is not given"},
           {{"--title=T", "l"}, "plovo: --title" + figures},
           {{"--plot-size", "900x600", "l"}, "plovo: --plot-size" + figures},
           {{"--dpi", "300", "--stats", "l"}, "plovo: --dpi" + figures},
           {{"--marks", "--plot-brakings", "b%n.png", "l"},
            "plovo: --marks goes with --plot, which is not given"},  // the figures have theirs
           {{"--origin", "brake", "--plot-brakings", "b%n.png", "l"},
            "plovo: --origin goes with --plot or --export, none of which is given"},
           {{"--units", "bar", "l"},
            "plovo: --units goes with --plot, --plot-brakings, --export or --stats, none of which "
            "is given"},
           {{"--label", "velocity=v", "--export", "e.csv", "l"},
            "plovo: --label goes with --plot, --plot-brakings or --stats, none of which is given"},
           {{"--before", "5", "--plot", "p.pdf", "l"},
            "plovo: --before goes with --plot-brakings, which is not given"},
           {{"--brake-on", "0.1", "--plot", "p.pdf", "l"},
            "plovo: --brake-on goes with --summary, --brakings, --plot-brakings, --marks or "
            "--origin brake, none of which is given"},
           {{"--sort", "stops", "--plot", "p.pdf", "l"},
            "plovo: --sort goes with --summary or --brakings, none of which is given"}});
}

TEST(OptionsReports, OriginUnitsLabelsAndMarksForTheReportsPlots) {
    Check(
        {{{"--plot", "p.pdf", "--origin", "B", "--marks", "--comp", "b.dat@259600", "l"},
          "batch 1 plot p.pdf 800x500 x 0 compare b.dat origin brake @259600 marks [] l"},
         {{"--plot", "p.pdf", "--origin=st", "--compare", "run@5@", "l"},  // a name ending @5
          "batch 1 plot p.pdf 800x500 x 0 compare run@5 origin start [] l"},
         {{"--plot", "p.pdf", "--compare", "a@b.dat", "l"},
          "batch 1 plot p.pdf 800x500 x 0 compare a@b.dat [] l"},
         {{"--plot", "p.pdf", "--compare", "@5", "l"},
          "batch 1 plot p.pdf 800x500 x 0 compare @5 [] l"},
         {{"--plot", "p.pdf", "--origin", "brakes", "l"},
          "plovo: --origin takes log, start or brake, not 'brakes'"},
         // An export from the brake application is written from the extraction, not streamed.
         {{"--export", "e.csv", "--origin", "brake", "l"},
          "batch 1 origin brake export e.csv [] l"},
         {{"--export", "e.csv", "--origin", "start", "l"},
          "export 1 origin start export e.csv [] l"},
         {{"--plot", "p.pdf", "--units", "km/h,BAR,kn", "--label", "brake-p=Brake cylinder",
           "--label", "9=Brake cylinder", "--label", "12=Column twelve", "l"},
          "batch 1 plot p.pdf 800x500 x 0 label 9='Brake cylinder' label 9='Brake cylinder' "
          "label 12='Column twelve' [] l"},
         {{"--plot", "p.pdf", "--units", "km/h,mph", "l"},
          "plovo: --units: 'mph' is not a unit plovo shows; the units are m/s, km/h, MPa, bar, "
          "kPa, N, kN, m, km, kWh, MJ"},
         {{"--plot", "p.pdf", "--units", "bar,kPa", "l"},
          "plovo: --units gives bar and kPa for brake-pressure and pipe-pressure: give one"},
         {{"--plot", "p.pdf", "--label", "velocity=v", "--label", "vel=w", "l"},
          "plovo: --label gives vel two labels, 'v' and 'w': give one"},
         {{"--plot", "p.pdf", "--label", "brake=B", "l"},  // brake-force or brake-pressure
          "plovo: --label takes CHART=TEXT, a chart type and its label, not 'brake=B'"},
         {{"--plot", "p.pdf", "--label", "velocity=", "l"},
          "plovo: --label takes CHART=TEXT, a chart type and its label, not 'velocity='"},
         {{"--plot", "p.png", "--dpi", "300", "l"}, "batch 1 plot p.png 800x500 x 0 dpi 300 [] l"},
         {{"--plot", "p.pdf", "--dpi", "300", "l"},
          "plovo: --dpi sets a PNG's resolution, and no plot is a .png: an SVG or a PDF is "
          "drawn to scale"},
         {{"--plot", "p.png", "--dpi", "0", "l"},
          "plovo: --dpi takes a whole number of dots per inch, 1 to 100000, not '0'"}});
}

TEST(OptionsReports, AFigureForEveryBrakingNamedByItsNumber) {
    Check({{{"--plot-brakings", "brk-%n.pdf", "l"}, "batch 1 brakings brk-%n.pdf 10+5 [] l"},
           {{"--plot-brak", "b%n-100%%.png", "--before", "2.5", "--after=0", "--dpi", "96", "l"},
            "batch 1 dpi 96 brakings b%n-100%%.png 2.5+0 [] l"},
           {{"--plot-brakings", "brk.pdf", "l"},
            "plovo: --plot-brakings writes a file a braking: its name needs %n, the braking's "
            "number (brk-%n.pdf), not 'brk.pdf'"},
           {{"--plot-brakings", "brk-%d.pdf", "l"},
            "plovo: --plot-brakings takes %n for the braking's number and %% for a %, not "
            "'brk-%d.pdf'"},
           {{"--plot-brakings", "brk-%n.jpg", "l"},
            "plovo: cannot write a plot as 'brk-%n.jpg': the name must end in .png, .svg or .pdf"},
           {{"--plot-brakings", "b%n.pdf", "--before", "-1", "l"},
            "plovo: --before takes a time in seconds, 0 or more, not '-1'"},
           {{"--plot-brakings", "b%n.pdf", "--brake-on", "0.08", "--stop-s", "0.5", "l"},
            "batch 1 brakings b%n.pdf 10+5 [] brake-on 0.08 stop-speed 0.5 l"},
           {{"--plot-brakings", "b%n.pdf", "--brake-on", "0", "l"},
            "plovo: --brake-on takes a positive finite decimal number (MPa), not '0'"},
           {{"--plot-brakings", "b%n.pdf", "-f", "l"},
            "plovo: --plot-brakings describes the log as it is, and --follow needs the window: "
            "give one of them"}});
    EXPECT_EQ(BrakingPlotPath("runs/b%n-%%n.pdf", 3011), "runs/b3011-%n.pdf");
}

TEST(OptionsConflicts, StandardOutputCarriesOneOutput) {
    Check({{{"--export", "-", "--stats", "l"},
            "plovo: --export - and --stats both write to standard output: give one of them"},
           {{"--export", "-", "--export", "-", "l"},
            "plovo: --export - and --export - both write to standard output: give one of them"}});
}

TEST(OptionsConflicts, FollowingNeedsTheWindow) {
    Check({{{"-f", "--export", "e.csv", "l"},
            "plovo: --export describes the log as it is, and --follow needs the window: give one "
            "of them"},
           {{"-f", "--stats", "log.dat"},
            "plovo: --stats describes the log as it is, and --follow needs the window: give one "
            "of them"},
           {{"--plot", "p.svg", "--follow"},
            "plovo: --plot describes the log as it is, and --follow needs the window: give one "
            "of them"}});
}

TEST(OptionsConflicts, TheExplorerGoesAloneAndSaysWhatTheOtherOptionIs) {
    const std::string serve = "plovo: --serve shows the logs in a browser, and ";
    Check(
        {{{"--serve", "--stats", "l"}, serve + "--stats is an output of its own: give one of them"},
         {{"--serve", "--summary", "-", "l"},
          serve + "--summary is an output of its own: give one of them"},
         {{"--serve", "--at", "5", "l"},
          serve + "--at is about the window on one log: give one of them"},
         {{"--serve", "-f", "l"},
          serve + "--follow is about the window on one log: give one of them"},
         {{"--port", "8000", "l"}, "plovo: --port goes with --serve, which is not given"}});
}

TEST(OptionsTables, EveryArgumentIsALogAndTheTablesShareNoStream) {
    Check({{{"--sum", "-", "a.dat", "2", "--braki=b.csv", "--no-h"},
            "tables 1 [] summary{-} brakings{b.csv} no-header a.dat 2"},
           {{"--brakings", "-", "--summary", "s.csv"}, "tables 1 [] summary{s.csv} brakings{-}"},
           {{"--summary", "a.csv", "--summary", "-", "x.dat"},
            "tables 1 [] summary{a.csv,-} brakings{} x.dat"},
           {{"--summary", "-", "--brakings", "-", "a.dat"},
            "plovo: --summary and --brakings both name standard output (-): two tables cannot "
            "share one stream; give one of them a file"},
           {{"--summary=", "a.dat"},
            "plovo: --summary takes a file name, or - for standard output, not ''"},
           {{"--no-header", "a.dat"},
            "plovo: --no-header goes with --summary or --brakings, which is not given"},
           {{"--brakings", "b.csv", "--at", "5", "a.dat"},
            "plovo: --brakings takes logs only, and --at is about a chart of one: give one of "
            "them"},
           {{"--summary", "-", "--stats", "a.dat"},
            "plovo: --summary takes logs only, and --stats is about a chart of one: give one of "
            "them"}});
}

TEST(OptionsTables, SortedByAColumnOfEveryTableAndCut) {
    Check({{{"--brakings", "-", "--sort", "braking_distance_m:desc", "--top", "1", "a.dat"},
            "tables 1 [] summary{} brakings{-} sort braking_distance_m desc top 1 a.dat"},
           {{"--summary", "-", "--brakings", "b.csv", "--sort", "start_s:asc", "a.dat"},
            "tables 1 [] summary{-} brakings{b.csv} sort start_s a.dat"},
           {{"--summary", "-", "--brake-on=0.2", "a.dat"},
            "tables 1 [] summary{-} brakings{} brake-on 0.2 a.dat"},
           {{"--summary", "-", "--brakings", "b.csv", "--sort", "stops", "a.dat"},
            "plovo: --sort 'stops': the brakings table has no such column; its columns are log, "
            "braking, start_s, start_speed_mps, end_s, stopped, stop_s, time_to_stop_s, "
            "braking_distance_m, mean_deceleration_mps2, max_deceleration_mps2, "
            "max_deceleration_at_s, max_brake_pressure_mpa, start_distance_m, stop_distance_m"},
           {{"--summary", "-", "--top", "0", "a.dat"},
            "plovo: --top takes a whole number of rows, 1 or more, not '0'"},
           {{"--summary", "-", "--plot-brakings", "b%n.pdf", "a.dat"},
            "plovo: --summary takes logs only, and --plot-brakings is about a chart of one: give "
            "one of them"}});
}

TEST(OptionsPlan, TheModeDecidesTheConsolesWays) {
    // The window, and the picture that stands in for it without a display, keep the console's
    // ways; every output without a window writes its messages to standard error, and so does a
    // refused command line that names one.
    struct Case {
        std::vector<std::string> args;
        const char* display;
        Mode mode;
        bool console;
    } cases[] = {
        {{"l"}, ":0", Mode::kWindow, true},
        {{}, ":0", Mode::kUsage, true},
        {{"--stats"}, ":0", Mode::kUsage, false},
        {{"--no-display-snapshot", "a.png", "l"}, "", Mode::kBatch, true},
        {{"--no-display-snapshot", "a.png", "l"}, nullptr, Mode::kBatch, true},
        {{"--no-display-snapshot", "a.png", "l"}, ":1", Mode::kWindow, true},
        {{"--stats", "l"}, ":0", Mode::kBatch, false},
        {{"--stats", "--bogus", "l"}, ":0", Mode::kBatch, false},
        {{"--bogus", "l"}, ":0", Mode::kWindow, true},
        {{"--export", "-", "l"}, ":0", Mode::kExportAlone, false},
        {{"--summary", "-", "l"}, ":0", Mode::kTables, false},
        {{"--help"}, ":0", Mode::kHelp, false},
    };
    for (const Case& c : cases) {
        Plan plan = ParseOf(c.args, c.display).plan;
        EXPECT_EQ(plan.mode, c.mode) << Join(c.args);
        EXPECT_EQ(plan.console, c.console) << Join(c.args);
    }
    Plan standIn = ParseOf({"--no-display-snapshot", "a.png", "l"}, "").plan;
    EXPECT_EQ(Join(standIn.batch.snapshots), "a.png");
    EXPECT_TRUE(standIn.batch.standIn);
}

TEST(OptionsPlan, EachModeUsesOnlyTheSettingsItReads) {
    auto uses = [](std::vector<std::string> args) {
        SettingsUse use = SettingsUsedBy(ParseOf(args).plan);
        return std::string(use.screen ? "screen " : "") + (use.chartType ? "chart " : "") +
               (use.analysis ? "analysis" : "");
    };
    EXPECT_EQ(uses({"l"}), "screen chart ");
    EXPECT_EQ(uses({"--summary", "-", "l"}), "analysis");
    EXPECT_EQ(uses({"--export", "-", "l"}), "chart ");
    EXPECT_EQ(uses({"--stats", "l"}), "chart ");
    EXPECT_EQ(uses({"--plot", "p.png", "--to", "5", "l"}), "chart ");
    EXPECT_EQ(uses({"--plot", "p.png", "l"}), "screen chart ");  // the first view's width
    EXPECT_EQ(uses({"--overview", "o.png", "l"}), "screen chart ");
    // The brake applications come from [analysis]; --plot-brakings' own chart types do not.
    EXPECT_EQ(uses({"--plot", "p.png", "--to", "5", "--marks", "l"}), "chart analysis");
    EXPECT_EQ(uses({"--plot-brakings", "b%n.png", "l"}), "analysis");
    EXPECT_EQ(uses({"--plot-brakings", "b%n.png", "l", "velocity"}), "chart analysis");
}
