// --plot-brakings: the report figure of every braking of a log, drawn on every core from the
// extraction's files.
#include "brakingplots.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "number.h"
#include "output.h"
#include "progress.h"
#include "reportplot.h"
#include "signals.h"
#include "text.h"

namespace {
// A figure drawn, waiting for its files.
struct Drawn {
    std::size_t braking, pattern;
    std::string bytes;
    std::string why;  // cairo's reason when it could not be drawn
};

// What the workers and the writing thread share: the next figure to draw, and those drawn, at
// most one a worker, waiting to be written.
class Figures {
  public:
    Figures(std::size_t figures, std::size_t workers) : figures(figures), room(workers) {}
    // The next figure to draw; false when none is left or the run stopped.
    bool Take(std::size_t* figure) {
        std::size_t next = taken.fetch_add(1);
        *figure = next;
        return next < figures && !stopped;
    }
    // Hands a drawn figure over, once there is room for it.
    void Put(Drawn&& drawn) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return ready.size() < room || stopped; });
        ready.push_back(std::move(drawn));
        changed.notify_all();
    }
    // The next drawn figure; false once every figure has been handed over.
    bool Next(Drawn* drawn) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return !ready.empty() || handed == figures; });
        if (ready.empty()) return false;
        *drawn = std::move(ready.front());
        ready.pop_front();
        ++handed;
        changed.notify_all();
        return true;
    }
    // Stops the workers: no figure is taken or kept waiting after this.
    void Stop() {
        std::lock_guard<std::mutex> lock(mutex);
        stopped = true;
        ready.clear();
        changed.notify_all();
    }

  private:
    const std::size_t figures, room;
    std::atomic<std::size_t> taken{0};
    std::atomic<bool> stopped{false};
    std::size_t handed = 0;
    std::deque<Drawn> ready;
    std::mutex mutex;
    std::condition_variable changed;
};

// The workers to start: the cores this process may use, no more than the figures.
std::size_t FigureWorkers(std::size_t figures) {
    cpu_set_t cores;
    std::size_t count = sched_getaffinity(0, sizeof cores, &cores) == 0
                            ? static_cast<std::size_t>(CPU_COUNT(&cores))
                            : std::max(1u, std::thread::hardware_concurrency());
    return std::max<std::size_t>(1, std::min(count, figures));
}
}  // namespace

bool WriteBrakingPlots(const BrakingPlotsRequest& request, const PlotRequest& plot,
                       const std::vector<BrakePlace>& brakings, const std::string& logName,
                       const std::vector<Channel>& charts, const LogExtraction& extraction,
                       const std::vector<std::string>& inputs,
                       const std::function<void(const std::string&)>& say, std::string* err) {
    if (brakings.empty()) {
        say("plovo: '" + Printable(logName) + "' has no brake application (brake_on " +
            ExactText(plot.rule.brakeOn) + " MPa): no figure written");
        return true;
    }
    std::vector<Format> formats(request.patterns.size());
    for (std::size_t pattern = 0; pattern < formats.size(); ++pattern)
        if (!FormatOf(request.patterns[pattern], FormatUse::kPlot, &formats[pattern], err))
            return false;
    // Figure k is braking k / patterns in the pattern k % patterns.
    auto draw = [&](std::size_t figure) {
        Drawn drawn = {figure / formats.size(), figure % formats.size(), "", ""};
        RenderBrakingFigure(
            plot, brakings, drawn.braking, logName, charts, extraction, formats[drawn.pattern],
            [&drawn](const unsigned char* data, std::size_t length) {
                drawn.bytes.append(reinterpret_cast<const char*>(data), length);
                return true;
            },
            &drawn.why);
        return drawn;
    };
    auto write = [&](const Drawn& drawn) {
        std::string path =
            BrakingPlotPath(request.patterns[drawn.pattern], brakings[drawn.braking].number);
        return CheckOutputsAreNotInputs(inputs, {path}, err) &&
               WriteOutput(
                   path,
                   [&](Output& output, std::string* why) {
                       if (!drawn.why.empty()) *why = drawn.why;
                       return drawn.why.empty() &&
                              output.Write(drawn.bytes.data(), drawn.bytes.size());
                   },
                   err);
    };

    const std::size_t figures = brakings.size() * formats.size();
    Figures shared(figures, FigureWorkers(figures));
    std::vector<std::thread> workers;
    StartThreadsWithoutSignals([&] {
        try {
            while (workers.size() < FigureWorkers(figures))
                workers.emplace_back([&] {
                    std::size_t figure;
                    while (shared.Take(&figure)) shared.Put(draw(figure));
                });
        } catch (const std::system_error&) {  // no more threads: those started do the work
        }
    });
    bool written = true;
    std::int64_t done = 0;
    StartFigureProgress(static_cast<std::int64_t>(figures));
    if (workers.empty()) {  // no thread to be had: one figure after another, here
        std::size_t figure;
        while (written && shared.Take(&figure)) {
            written = write(draw(figure));
            ReportFiguresDone(++done);
        }
    }
    Drawn drawn;
    while (!workers.empty() && written && shared.Next(&drawn)) {
        written = write(drawn);
        ReportFiguresDone(++done);
    }
    shared.Stop();
    for (std::thread& worker : workers) worker.join();
    ClearProgressLine();
    return written;
}
