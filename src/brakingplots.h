// --plot-brakings: the report figure of every braking of a log, drawn on every core from the
// extraction's files.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "brakeevents.h"
#include "charttypes.h"
#include "extraction.h"
#include "plan.h"

// Writes the figure of each braking of `brakings` (their figure spans noted by BrakeEvents) to
// the file each of request.patterns names for it, drawn as RenderBrakingFigure draws it with
// `plot`'s options. As many workers as the process may use cores draw a figure each at a time
// into memory; this thread writes each one to its files (never onto one of `inputs`) as it comes,
// so that memory holds a few figures whatever the log. `say` gets a line when there is no
// braking to draw. False with one line in err at the first figure that cannot be written; those
// written before it stay.
bool WriteBrakingPlots(const BrakingPlotsRequest& request, const PlotRequest& plot,
                       const std::vector<BrakePlace>& brakings, const std::string& logName,
                       const std::vector<Channel>& charts, const LogExtraction& extraction,
                       const std::vector<std::string>& inputs,
                       const std::function<void(const std::string&)>& say, std::string* err);
