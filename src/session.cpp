// The viewer's run of a log: its extraction, the temporary files czytaj reads, and the vertical
// scale, kept up to date while a followed log grows. After the start it is the one writer of iFc,
// of the record files' descriptors and of the scale.
#include "session.h"

#include "chart.h"
#include "globals.h"

Session::Session(const std::string& logName, const std::vector<Channel>& channels)
    : extraction_(logName, channels) {}

Session::~Session() {
    sampleRecordsFd = timeRecordsFd = -1;  // the files go with the extraction
}

bool Session::Open(bool follow, std::string* err) {
    if (!extraction_.Start(follow, err)) return false;
    iFc = static_cast<int>(extraction_.records());
    sampleRecordsFd = extraction_.file(0);
    int times = extraction_.timeFile();
    timeRecordsFd = times == sampleRecordsFd ? -1 : times;
    Rescale();
    return true;
}

Growth Session::Follow(std::chrono::steady_clock::time_point deadline) {
    Growth growth;
    growth.recordsBefore = iFc;
    double extreme = extraction_.extreme();
    bool accessible = extraction_.accessible();
    growth.result = extraction_.Follow(deadline, &growth.error);
    iFc = static_cast<int>(extraction_.records());
    growth.newExtreme = extraction_.extreme() != extreme;
    growth.accessibleChanged = extraction_.accessible() != accessible;
    return growth;
}

void Session::Rescale() {
    SetScale(extraction_.extreme());
}
