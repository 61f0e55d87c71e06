// The text of --help: the options, the chart types, the keys and the settings.
#include "help.h"

#include <iomanip>
#include <sstream>
#include <vector>

#include "charttypes.h"

std::string HelpText() {
    std::ostringstream text;
    text << "Usage: plovo [OPTIONS] <file>.dat [chart_type]\n"
            "Shows one column of a rail-vehicle simulator's telemetry log as a chart.\n"
            "\n"
            "Options (before, between or after the arguments; -- ends them). A long option\n"
            "may be shortened to any beginning that names it alone, as --snap for --snapshot.\n"
            "An output may be given several times, a file each, all from one reading of the log.\n"
            "  --start N                   show sample N first (1 or more; at most the end)\n"
            "  --at SECONDS                open at the first sample at SECONDS or later\n"
            "  --snapshot FILE             save the first view as FILE (.png .bmp .tga .pcx)\n"
            "  --no-display-snapshot FILE  the same, in place of a window without DISPLAY\n"
            "  --overview FILE             save the whole log as FILE, the first view marked\n"
            "  --stats                     print the samples, time span, minimum, maximum,\n"
            "                              first and last values, change, integral and mean\n"
            "  --plot FILE                 draw the first view's stretch against time as a\n"
            "                              report chart (.png .svg .pdf), a panel a chart type\n"
            "  --to SECONDS                with --plot, --export or --stats: the stretch from\n"
            "                              the --start/--at sample to the last at SECONDS or\n"
            "                              earlier\n"
            "  --plot-size WxH             with --plot: its size (800x500, 250 higher for each\n"
            "                              further panel; 100 to 10000 each)\n"
            "  --x time|distance           with --plot: draw against time or distance [m]\n"
            "  --origin log|start|brake    with --plot or --export: count time and distance\n"
            "                              from the log's, the stretch's first sample or its\n"
            "                              first brake application\n"
            "  --compare OTHER.dat[@T]     with --plot: draw OTHER's run too, in orange; with\n"
            "                              @T its first sample at T s or later (its first\n"
            "                              brake application then, with --origin brake) where\n"
            "                              the stretch's is\n"
            "  --marks                     with --plot: a line at each brake application and\n"
            "                              stop\n"
            "  --units LIST                convert (km/h, bar, kPa, kN, N, km, MJ) in plots,\n"
            "                              exports and --stats\n"
            "  --label CHART=TEXT          a chart type's label in plots and --stats\n"
            "  --title TEXT                with --plot: its title (\"\" for none)\n"
            "  --dpi N                     a PNG plot's resolution (else it is 16 cm wide)\n"
            "  --plot-brakings PATTERN     a report figure for each braking, %n its number\n"
            "                              (brk-%n.pdf): velocity, brake and pipe pressures\n"
            "                              unless chart types are given\n"
            "  --before S, --after S       with --plot-brakings: from S s before the\n"
            "                              application (10) to S s after its stop or end (5)\n"
            "  --export FILE               write the stretch's samples as CSV, from the first\n"
            "                              (or sample 1) to --to or the end; - for standard\n"
            "                              output\n"
            "  -f, --follow                keep reading the log as it grows; the window\n"
            "                              follows its end while it shows it\n"
            "  --summary FILE              write a CSV row of figures per log to FILE (- for\n"
            "                              standard output); every argument is then a log\n"
            "  --brakings FILE             write a CSV row per brake application of each log\n"
            "  --no-header                 write the tables without their header rows\n"
            "  --sort COLUMN[:desc]        sort the tables' rows of all the logs by COLUMN\n"
            "  --top N                     with --summary or --brakings: the first N rows\n"
            "  --brake-on MPA              the brake-application rule's pressure (brake_on)\n"
            "  --stop-speed MPS            and its stop speed, in place of [analysis]\n"
            "  --serve                     explore the logs (and folders of logs) in a web\n"
            "                              browser, at the address plovo prints, until Ctrl+C\n"
            "  --port N                    with --serve: listen on port N (8823, or the next\n"
            "                              free one; 0 for any)\n"
            "  --bind ADDRESS              with --serve: listen on ADDRESS (127.0.0.1)\n"
            "  -h, --help                  show this help and exit\n"
            "  --version                   show the version and exit\n"
            "\n"
            "Chart types (columns of the log; without one, display:default applies), by\n"
            "number or by name (any case; a unique beginning such as brake-p will do):\n";
    for (int type = 1; type <= kChartTypes; ++type)
        text << std::right << std::setw(4) << type << "  " << std::left << std::setw(18)
             << ChartName(type) << ChartLabel(type) << "\n";
    std::vector<std::string> names = ChannelNames();  // the derived channels after the columns
    for (std::size_t k = kChartTypes; k < names.size(); ++k)
        text << "      " << std::setw(18) << names[k] << ChannelLabel(ChannelsNamed(names[k])[0])
             << "\n";
    text << "  Numbers above 11 show that column of the log as \"Not supported!\". The last\n"
            "  three, by name only, are computed: distance and traction energy as trapezoid\n"
            "  sums over time of velocity and of traction power (traction force x velocity).\n"
            "  A comma-separated list (velocity,brake-pressure) is for --plot and --export:\n"
            "  a panel, or a column, for each.\n"
            "\n"
            "Keys:\n"
            "  Right / Left              scroll by one sample\n"
            "  Shift+Right / Shift+Left  scroll by ten samples\n"
            "  Ctrl+Right / Ctrl+Left    move the cursor; the status bar shows its value\n"
            "  Escape                    quit (so does the window's close button)\n"
            "The window's title names the sample under the cursor, its exact time and value.\n"
            "\n"
            "Settings: plovo.ini in the directory of the program as it was started (argv[0]),\n"
            "or in the current directory when started without a directory; an installed\n"
            "plovo reads /etc/plovo/plovo.ini or PREFIX/etc/plovo/plovo.ini (man plovo):\n"
            "[display] width, height (pixels), fullscreen (yes/no), default (chart type);\n"
            "[analysis] brake_on (MPa), stop_speed (m/s) for --summary, --brakings,\n"
            "--plot-brakings, --marks and --origin brake.\n";
    return text.str();
}
