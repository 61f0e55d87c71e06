// The options: taken out wherever they stand, shortened, refused with one clear line.
#include "options.h"

#include <sstream>

#include "test_util.h"

namespace {
// What ParseOptions made of the arguments (after a program name), in one line.
std::string Parsed(std::vector<std::string> args) {
    args.insert(args.begin(), "plovo");
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    CommandLine command;
    std::string err;
    if (!ParseOptions(static_cast<int>(argv.size()), argv.data(), &command, &err)) return err;
    std::ostringstream at;
    if (command.at) at << " at " << *command.at;
    if (!command.plot.empty())
        at << " plot " << command.plot << " " << int(command.plotFormat) << " "
           << command.plotSize.width << "x" << command.plotSize.height;
    if (command.to) at << " to " << *command.to;
    if (command.xGiven) at << " x " << int(command.xAxis);
    if (!command.compare.empty()) at << " compare " << command.compare;
    if (command.title) at << " title '" << *command.title << "'";
    if (!command.exportTable.empty()) at << " export " << command.exportTable;
    std::string line = std::to_string(command.start) + (command.help ? " help" : "") +
                       (command.version ? " version" : "") + at.str() +
                       (command.overview.empty() ? "" : " overview " + command.overview) +
                       (command.stats ? " stats" : "") + (command.follow ? " follow" : "") + " [" +
                       command.snapshot + "]";
    if (!command.noDisplaySnapshot.empty()) line += " {" + command.noDisplaySnapshot + "}";
    if (!command.summary.empty() || !command.brakings.empty() || command.noHeader)
        line += " summary{" + command.summary + "} brakings{" + command.brakings + "}" +
                (command.noHeader ? " no-header" : "");
    for (const auto& arg : command.args) line += " " + arg;
    return line;
}
}  // namespace

TEST(Options, TakenOutWhereverTheyStandAndRefusedBeforeAnythingElse) {
    const std::string badStart = "plovo: --start takes a sample number of 1 or more, not '";
    const std::string badAt = "plovo: --at takes a time in seconds, not '";
    std::vector<std::pair<std::vector<std::string>, std::string>> table = {
        {{"log.dat"}, "1 [] log.dat"},
        {{"--start", "52000", "log.dat", "3"}, "52000 [] log.dat 3"},
        {{"log.dat", "--start=7", "3", "x"}, "7 [] log.dat 3 x"},
        {{"log.dat", "3", "--snapshot", "out.PNG"}, "1 [out.PNG] log.dat 3"},
        {{"--snapshot=a.bmp", "--start", "99999999999999999999"}, "576460752303423487 [a.bmp]"},
        {{"--", "-x.dat", "--start"}, "1 [] -x.dat --start"},
        {{"-h", "log.dat"}, "1 help [] log.dat"},
        {{"--version"}, "1 version []"},
        {{}, "1 []"},
        {{"--start", "0", "log.dat"}, badStart + "0'"},
        {{"--start=-1", "log.dat"}, badStart + "-1'"},
        {{"--start", "12abc", "log.dat"}, badStart + "12abc'"},
        {{"--start=", "log.dat"}, badStart + "'"},
        {{"--start", "+5", "log.dat"}, badStart + "+5'"},
        {{"log.dat", "--start"}, "plovo: option --start needs a value"},
        {{"--snapshot", "a.jpg", "log.dat"},
         "plovo: cannot save a picture as 'a.jpg': the name must end in .png, .bmp, .tga or .pcx"},
        {{"--snapshot", "png", "log.dat"},
         "plovo: cannot save a picture as 'png': the name must end in .png, .bmp, .tga or .pcx"},
        {{"--at", "280.5", "log.dat", "velocity"}, "1 at 280.5 [] log.dat velocity"},
        {{"--at=-1e3", "--overview", "o.PNG", "--stats", "l"},
         "1 at -1000 overview o.PNG stats [] l"},
        {{"--at", "nan", "log.dat"}, badAt + "nan'"},
        {{"--at", "1e999", "log.dat"}, badAt + "1e999'"},
        {{"--at", "12s", "log.dat"}, badAt + "12s'"},
        {{"--at", "0x10", "log.dat"}, badAt + "0x10'"},  // decimal only, as the settings
        {{"--at=", "log.dat"}, badAt + "'"},
        {{"--at", "5", "--start", "3"},
         "plovo: --at and --start both say where to open: give one"
         " of them"},
        {{"--overview", "o.jpg", "log.dat"},
         "plovo: cannot save a picture as 'o.jpg': the name must end in .png, .bmp, .tga or .pcx"},
        {{"--plot", "b.SVG", "--at", "270", "--to=330", "l"},
         "1 at 270 plot b.SVG 1 800x500 to 330 [] l"},
        {{"--plot=b.pdf", "--plot-s", "1600X1000", "l"}, "1 plot b.pdf 2 1600x1000 [] l"},
        {{"--to", "330", "l"},
         "plovo: --to goes with --plot, --export or --stats, none of which is given"},
        {{"--export", "-", "--at", "270", "--to=330", "l", "2,9"},
         "1 at 270 to 330 export - [] l 2,9"},
        {{"--plot", "p.png", "--x", "Dist", "--comp", "b.dat", "--title", "", "--exp=e.csv", "l"},
         "1 plot p.png 0 800x500 x 1 compare b.dat title '' export e.csv [] l"},
        {{"--plot", "p.png", "--x", "t", "--title=Brzdění", "l"},
         "1 plot p.png 0 800x500 x 0 title 'Brzdění' [] l"},
        {{"--plot", "p.png", "--x", "speed", "l"},
         "plovo: --x takes time or distance, not 'speed'"},
        {{"--plot", "p.png", "--x=", "l"}, "plovo: --x takes time or distance, not ''"},
        {{"--x", "time", "--export", "e.csv", "l"},
         "plovo: --x goes with --plot, which is not given"},
        {{"--compare", "b.dat", "l"}, "plovo: --compare goes with --plot, which is not given"},
        {{"--title=T", "l"}, "plovo: --title goes with --plot, which is not given"},
        {{"--export", "-", "--stats", "l"},
         "plovo: --export - and --stats both write to standard output: give one of them"},
        {{"--export=", "l"}, "plovo: --export takes a file name, or - for standard output"},
        {{"-f", "--export", "e.csv", "l"},
         "plovo: --export describes the log as it is, and --follow needs the window: give one of "
         "them"},
        {{"--t", "5", "l"}, "plovo: option --t is ambiguous: --to, --title"},
        {{"--stats", "--at", "280", "--to", "330", "l"}, "1 at 280 to 330 stats [] l"},
        {{"--stats", "--at", "280", "--to", "279", "l"},
         "plovo: --to 279 is earlier than --at 280"},
        {{"--plot-size", "900x600", "l"},
         "plovo: --plot-size goes with --plot, which is not given"},
        {{"--plot", "b.png", "--at", "1.0000002", "--to", "1.0000001"},
         "plovo: --to 1.0000001 is earlier than --at 1.0000002"},
        {{"--plot", "b.png", "--to", "inf"}, "plovo: --to takes a time in seconds, not 'inf'"},
        {{"log.dat", "-f"}, "576460752303423487 follow [] log.dat"},  // the last full screen
        {{"--follow", "--start", "3", "log.dat"}, "3 follow [] log.dat"},
        {{"--at", "5", "--fol", "--no-d", "b.png", "l"}, "1 at 5 follow [] {b.png} l"},
        {{"-f", "--stats", "log.dat"},
         "plovo: --stats describes the log as it is, and --follow needs the window: give one of "
         "them"},
        {{"--plot", "p.svg", "--follow"},
         "plovo: --plot describes the log as it is, and --follow needs the window: give one of "
         "them"},
        {{"--bogus=1", "log.dat"}, "plovo: unknown option --bogus"},
        {{"log.dat", "-hq"}, "plovo: unknown option -q"},
        // Unique beginnings name an option; the messages name it as written.
        {{"--snap", "a.png", "--star=3", "--no-d", "b.tga", "log.dat"},
         "3 [a.png] {b.tga} log.dat"},
        {{"--h", "--vers"}, "1 help version []"},
        {{"--help=x"}, "plovo: option --help takes no value"},
        {{"--vers=x"}, "plovo: option --vers takes no value"},
        {{"--s", "5", "log.dat"},
         "plovo: option --s is ambiguous: --start, --snapshot, --stats, --summary"},
        // Tables: every argument a log; not both on standard output, not with a chart's options.
        {{"--sum", "-", "a.dat", "2", "--b=b.csv", "--no-h"},
         "1 [] summary{-} brakings{b.csv} no-header a.dat 2"},
        {{"--brakings", "-", "--summary", "s.csv"}, "1 [] summary{s.csv} brakings{-}"},
        {{"--summary", "-", "--brakings", "-", "a.dat"},
         "plovo: --summary and --brakings both name standard output (-): two tables cannot share "
         "one stream; give one of them a file"},
        {{"--summary=", "a.dat"},
         "plovo: --summary takes a file name, or - for standard output, not ''"},
        {{"--no-header", "a.dat"},
         "plovo: --no-header goes with --summary or --brakings, which is not given"},
        {{"--no", "a.dat"}, "plovo: option --no is ambiguous: --no-display-snapshot, --no-header"},
        {{"--brakings", "b.csv", "--at", "5", "a.dat"},
         "plovo: --brakings takes logs only, and --at is about a chart of one: give one of them"},
        {{"--summary", "-", "--stats", "a.dat"},
         "plovo: --summary takes logs only, and --stats is about a chart of one: give one of "
         "them"},
        {{"log.dat", "--sn"}, "plovo: option --sn needs a value"},
        {{"--\x9b=1"}, "plovo: unknown option --\\x9b"}};
    for (const auto& [args, expected] : table) {
        std::string joined;
        for (const auto& arg : args) joined += arg + " ";
        EXPECT_EQ(Parsed(args), expected) << joined;
    }
}
