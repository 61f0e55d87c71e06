// A batch run: the pictures, plots, exports and figures plovo writes instead of opening its
// window, all from one pass over the log.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "charttypes.h"
#include "plan.h"

// Writes what the request asks for, in this order: the snapshots of the viewer's first frame, the
// overviews with the viewer's window marked, the report plots, the figure of each braking, the
// CSV exports; for a stand-in snapshot, the line that says where it went; the figures on
// standard output. The log is read once, and no further than the outputs need: plots and
// exports of a stretch alone stop reading where it ends; figures alone write no temporary file.
// `charts` are the chart types (the first is the one the window, the pictures and the figures
// show). `say` gets the lines about what was not drawn (a compared run with nothing in the
// stretch, a log without brakings). False with one line in err at the first output that fails.
bool WriteBatch(const BatchRequest& request, const std::string& logName,
                const std::vector<Channel>& charts,
                const std::function<void(const std::string&)>& say, std::string* err);
