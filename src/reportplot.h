// The report plot of a run from its extraction: its panels, the x axis and where it counts from,
// a compared run aligned with it, the brake applications and stops marked, units and labels; and
// the figure of one braking.
#pragma once

#include <string>
#include <vector>

#include "brakeevents.h"
#include "charttypes.h"
#include "extraction.h"
#include "plan.h"
#include "plot.h"
#include "records.h"

// The channels the plot needs extracted: the chart types, then distance when the plot is drawn
// against it and it is not among them.
std::vector<Channel> ExtractedChannels(const std::vector<Channel>& charts, XAxis x);

// Draws the records `span` of the log's extraction, which holds ExtractedChannels(charts,
// request.x) among its channels, as the request asks, into each of its files. `brakings` are the
// log's brake applications as BrakeEvents found them in the extraction's pass, for --origin brake
// and --marks; when null and they are needed, the log is read once more for them. A compared log
// is extracted the same way here, its records drawn aligned as the request says. `notice`, when
// given, gets one line when the compared run has nothing to draw within the stretch, and is
// emptied otherwise. False with one line in err (no brake application in the stretch for
// --origin brake, the compared log's failure, a file's).
bool SavePlot(const PlotRequest& request, RecordSpan span, const std::string& logName,
              const std::vector<Channel>& charts, const LogExtraction& extraction, std::string* err,
              const std::vector<BrakePlace>* brakings = nullptr, std::string* notice = nullptr);

// The figure of braking `braking` of `brakings` (its figure span found by BrakeEvents'
// FigureSpans) against its application, with the marks of every application and stop in it, as
// `request` asks for its size, x axis, units, labels and resolution, and titled "<log> - braking
// N at T s" (or the request's title, %n its number), in `format`, its bytes handed to `write`.
// False with cairo's reason in `why`.
bool RenderBrakingFigure(const PlotRequest& request, const std::vector<BrakePlace>& brakings,
                         std::size_t braking, const std::string& logName,
                         const std::vector<Channel>& charts, const LogExtraction& extraction,
                         Format format, const PlotBytes& write, std::string* why);
