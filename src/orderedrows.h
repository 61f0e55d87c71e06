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
#include <vector>

// The rows a worker has made for one log so far, one string per table.
struct LogRows {
    std::vector<std::string> tables;
    std::size_t Size() const;
};

// Hands out the logs 0 .. logs-1 to workers and writes each log's rows to the tables once every
// earlier log's are written, or, for a log that cannot be read, its message in their place. The
// rows held back are kept under a limit: a worker whose log is not the first in line waits at
// the limit, and the first in line writes its rows out as they come. After a table fails to be
// written, no log is handed out and nothing more is written.
class OrderedRows {
  public:
    using Say = std::function<void(const std::string& line)>;
    // `tables`: where each table goes, null for a table not asked for. `limit`: bytes held.
    OrderedRows(std::vector<std::ostream*> tables, std::size_t logs, std::size_t limit, Say say);

    // Takes the next log in order into *log; false when none is left or a table failed.
    bool Take(std::size_t* log);
    // Called as the rows of `log` grow; returns the size they may grow to before the next call.
    // Waits at the limit while `log` is not the first in line; the first writes them out then.
    std::size_t Keep(std::size_t log, LogRows& rows);
    // Ends `log`: its rows, or, when `message` is not empty, the message in their place.
    void Done(std::size_t log, LogRows&& rows, const std::string& message);

    // Waits until every log taken is done and none is left to take, or `timeout` has passed;
    // true in the first case.
    bool Finished(std::chrono::milliseconds timeout);
    std::size_t done() const;  // logs written, in order
    bool failed() const;       // a table could not be written

  private:
    struct Slot {
        LogRows rows;
        std::string message;
        std::size_t held = 0;  // bytes counted against the limit
        bool done = false;
    };
    Slot& SlotOf(std::size_t log) { return slots[log - first]; }
    void Write(LogRows& rows);
    void WriteDone();
    bool AllDone() const;

    std::vector<std::ostream*> tables;
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
