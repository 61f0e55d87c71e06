// Rows that workers make for logs in any order, written in the order of the logs, in memory
// that does not grow with the logs.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

// Hands out the logs 0 .. logs-1 to workers and writes each log's rows to the tables once every
// earlier log's are written, or, for a log that cannot be read, a message in their place. The
// rows held back are kept under a limit: a worker whose log is not the first in line waits at
// the limit, and the first in line writes its rows out from there on, piece by piece. Once a
// table cannot be written, no log is handed out and nothing more is written.
class OrderedRows {
  public:
    using Say = std::function<void(const std::string& line)>;
    // `tables`: where each table goes (none for one not asked for, several for a table written to
    // several files); `limit`: bytes held.
    OrderedRows(std::vector<std::vector<std::ostream*>> tables, std::size_t logs, std::size_t limit,
                Say say);

    // Takes the next log in order into *log; false when none is left or a table failed.
    bool Take(std::size_t* log);
    // Adds rows of `table` for `log`, whose worker should hand them over in pieces of tens of
    // kilobytes, so that none grows large.
    void Add(std::size_t log, std::size_t table, std::string&& rows);
    // Ends `log`: its rows are written in their turn or, when `message` is not empty, the
    // message through `say` in their place (rows already written stay).
    void Done(std::size_t log, const std::string& message);

    // Waits until every log taken is done and none is left to take, or `timeout` has passed;
    // true in the first case.
    bool Finished(std::chrono::milliseconds timeout);
    std::size_t done() const;  // logs written, in order
    bool failed() const;       // a table could not be written

  private:
    struct Slot {
        std::vector<std::pair<std::size_t, std::string>> pieces;  // table and rows, in order
        std::string message;
        std::size_t held = 0;  // bytes counted against the limit
        bool writing = false;  // first in line and past the limit: its rows go straight out
        bool done = false;
    };
    Slot& SlotOf(std::size_t log) { return slots[log - first]; }
    void Write(std::size_t table, const std::string& rows);
    void WriteHeld(Slot& slot);
    void WriteDone();
    bool AllDone() const;

    std::vector<std::vector<std::ostream*>> tables;
    const std::size_t logs, limit;
    Say say;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<Slot> slots;  // of logs first .. next-1
    std::size_t first = 0;   // the first log not yet written
    std::size_t next = 0;    // the next log to hand out
    std::size_t held = 0;    // bytes held, slots counted too
    bool broken = false;
};
