// The viewer's run of a log: its extraction, the temporary files czytaj reads, and the vertical
// scale, kept up to date while a followed log grows. After the start it is the one writer of iFc,
// of the record files' descriptors and of the scale.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "charttypes.h"
#include "extraction.h"

// What one look at a followed log found.
struct Growth {
    FollowResult result;
    std::string error;               // why following stopped, when it did
    int recordsBefore = 0;           // iFc before the look
    bool newExtreme = false;         // the largest magnitude changed
    bool accessibleChanged = false;  // the log's name went away or came back
};

class Session {
  public:
    Session(const std::string& logName, const std::vector<Channel>& channels);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The extraction, for other consumers of its pass and for the records to need, before Open;
    // for the outputs' files after.
    LogExtraction& extraction() { return extraction_; }
    const LogExtraction& extraction() const { return extraction_; }

    // Extracts the log (and keeps following it when asked): its records become iFc, its files
    // those czytaj and RecordTime read, its extreme the scale. False with one line in err.
    bool Open(bool follow, std::string* err);
    // Takes what the followed log gained until `deadline` into the files and iFc.
    Growth Follow(std::chrono::steady_clock::time_point deadline);
    // Sets the scale from the extreme of the records now.
    void Rescale();
    // Following, and the log's name names a file.
    bool following() const { return extraction_.following() && extraction_.accessible(); }

  private:
    LogExtraction extraction_;
};
