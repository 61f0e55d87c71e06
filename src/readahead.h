// A regular log's lines read and parsed ahead by a worker per core, a chunk of the file each,
// and handed over in the file's order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "scanner.h"

// Bytes of the file a worker reads and parses at once: its lines and their numbers stay in the
// second-level cache until they are taken.
constexpr std::size_t kChunkSize = 1 << 19;

// The cores this process may run on.
unsigned UsableCores();

// The lines whose first byte lies in one chunk of the file, each whole, valid until the next
// chunk is taken.
struct ParsedChunk {
    std::int64_t begin = 0, end = 0;  // file offsets: the bytes the lines take (the header too,
                                      // for the first chunk), up to their last line feed
    const char* bytes = nullptr;      // those bytes
    std::int64_t linesBegin = 0;      // the file offset of the first line
    // Whether the lines were cut and parsed (lines, fields, numbers); a chunk the taker came to
    // before any worker is only read, its lines from linesBegin to end left for it to scan.
    bool parsed = true;
    std::size_t lines = 0;              // the lines that give a record (no empty line)
    const FieldText* fields = nullptr;  // lines x columns, in the columns' order
    const double* numbers = nullptr;    // the same fields as atof reads them
    // Reading ahead ends after this chunk, which may hold no line: the file was shorter than its
    // size said, a line is longer than a chunk, or the last line has no line feed yet. The lines
    // from `end` on are then read one after another, as from a pipe.
    bool last = false;
    int error = 0;  // errno of a failed read; the chunk holds nothing then
};

// Reads the file open on `fd`, `size` bytes long at the start (its first kHeaderSize bytes a
// header), in chunks of `chunk` bytes, by `workers` at once: the thread that takes the chunks, in
// order, and workers - 1 threads started without the signals. Each claims the next chunk, cuts the
// fields of `columns` out of its lines with a ColumnScanner of its own and parses them; the taker
// reads a chunk itself when it comes to one no thread has claimed, and scans it as it would read
// in place, so that two cores never carry three busy threads and a worker that gets no core costs
// nothing; the threads keep at most two chunks each in flight. They stop and are
// joined when it is destroyed, however far they are.
class ReadAhead {
  public:
    ReadAhead(int fd, std::int64_t size, const std::vector<int>& columns, unsigned workers,
              std::size_t chunk);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // False when no thread could be started: the file is then read as before, in place.
    bool started() const;
    // The next chunk in the file's order; false after the last one. Frees the chunk taken
    // before it.
    bool Next(ParsedChunk* chunk);

  private:
    struct Shared;
    std::unique_ptr<Shared> shared;
};
