// Reading a log's data lines once, from its first byte to its end, into a line sink.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "scanner.h"

// Reads logs in blocks of one buffer that it keeps, so that its memory does not grow with them.
class LogReader {
  public:
    // Reads the log at `path` to its end, the header skipped, handing the fields of `columns` of
    // each data line to `sink`; a last line without its line feed counts too. `goOn` is asked
    // before each block: false stops the reading there (and it returns true). False with one
    // line in err when the log cannot be opened (a directory cannot) or read.
    bool Read(const std::string& path, const std::vector<int>& columns, LineSink& sink,
              const std::function<bool()>& goOn, std::string* err);

  private:
    std::vector<char> block;
};
