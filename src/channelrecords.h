// The records of each line of a log, one per channel and one for the time, made into temporary
// files, with the first channel's figures.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "charttypes.h"
#include "derived.h"
#include "figures.h"
#include "scanner.h"

// A temporary file of records: its name, its descriptor (open for reading and writing), and the
// records not yet written to it.
struct RecordFile {
    std::string path;
    int fd = -1;
    std::string pending;
};

// The temporary files of an extraction: one per channel, then the time column's unless the
// only channel is the time column.
class RecordFiles {
  public:
    std::vector<RecordFile> files;
    const char* failedPath = "";  // the file a write failed on, with errno

    // Creates the files (none for no channel). False with one line in err, with nothing left.
    bool Create(const std::vector<Channel>& channels, std::string* err);
    // Writes what is pending once the first file's records reach `atLeast` bytes.
    bool Flush(std::size_t atLeast = 0);
    // Drops what is pending and cuts every file to `size` bytes, to write on from there.
    bool Cut(off_t size);
    // Closes and removes the files.
    void Remove();
    int TimeFile() const { return files.empty() ? -1 : files.back().fd; }

  private:
    bool Failed(const RecordFile& file);
};

// Makes the records of each line: a measured channel's is its field as the log holds it, up to
// a NUL, padded to 23 bytes; a derived channel's the shortest text that reads back as its value
// (rounded to 16 significant digits where that would not fit). Takes the first channel's figures
// over the whole log and over a chosen stretch.
class RecordMaker : public LineSink {
  public:
    // Without `keep`, no record is made: only the figures are taken.
    RecordMaker(const std::vector<Channel>& channels, std::vector<RecordFile>& files, bool keep);

    // The log's columns the scanner cuts, in the order of the fields OnLine gets.
    const std::vector<int>& Columns() const { return columns; }
    void OnLine(const FieldText* fields) override;
    // Has the figures of this stretch taken too.
    void Choose(const StretchChoice& stretch);
    // Writes the records of `stretch` to `out` as CSV rows as they are made: the time, then each
    // channel's value, as the shortest text that reads back as the record's number. The rows are
    // then the only output: no record is made and no figures are taken.
    void StreamRows(std::ostream* out, const StretchChoice& stretch);
    // Hands the rows made so far to their stream.
    void FlushRows();
    // Whether the rows are all made (the stretch has ended) or refused (their stream failed: a
    // closed pipe, a full disk): the rest of the log is of no use to them.
    bool RowsDone() const;
    // Forgets every line, for a new run.
    void Reset();

    std::int64_t records = 0;
    StretchAccumulator stretch;        // the first channel's figures
    StretchAccumulator chosenStretch;  // the same over the stretch chosen

  private:
    struct Plan {
        Derived derived;
        std::size_t field;  // of a measured channel
    };
    std::size_t FieldOf(int column);
    double DerivedValue(Derived which) const;
    void AppendRow(const FieldText* fields);

    std::vector<RecordFile>& files;
    bool keep;
    std::optional<StretchChoice> choice;
    std::optional<StretchFilter> chosen;
    std::vector<int> columns;
    std::vector<Plan> plans;
    bool derives = false;
    bool usesForce = false;  // a derived channel needs the traction force
    std::size_t velocityField = 0, forceField = 0;
    DerivedChannels derived;
    std::ostream* rowsOut = nullptr;  // where StreamRows sends the rows
    std::optional<StretchFilter> rowStretch;
    std::vector<char> rows;  // rows not yet handed to rowsOut: rowsEnd bytes
    std::size_t rowsEnd = 0;
};
