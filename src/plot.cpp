// Report plots: a run's stretch as panels stacked on one x axis, with a second run compared, their
// texts, and the files written with cairo as PNG, SVG or PDF.
#include "plot.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <memory>

#include "files.h"
#include "text.h"

namespace {
const Channel kDistance = {0, Derived::kDistance};

cairo_status_t WritePlotBytes(void* output, const unsigned char* data, unsigned int length) {
    bool written = static_cast<Output*>(output)->Write(data, length);
    return written ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

cairo_surface_t* CreateSurface(Format format, const Plot& plot, Output& output) {
    double width = plot.size.width, height = plot.size.height;
    switch (format) {
        case Format::kSvg: {
            cairo_surface_t* svg =
                cairo_svg_surface_create_for_stream(WritePlotBytes, &output, width, height);
            cairo_svg_surface_set_document_unit(svg, CAIRO_SVG_UNIT_PX);
            return svg;
        }
        case Format::kPdf: {
            cairo_surface_t* pdf =
                cairo_pdf_surface_create_for_stream(WritePlotBytes, &output, width, height);
            cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_TITLE, plot.title.c_str());
            cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_CREATOR, "plovo");
            return pdf;
        }
        default:
            break;
    }
    return cairo_image_surface_create(CAIRO_FORMAT_RGB24, plot.size.width, plot.size.height);
}

// Draws the plot into `output`; false with cairo's reason in `why`.
bool DrawInto(Output& output, const std::vector<Series>& runs, const Plot& plot, Format format,
              std::string* why) {
    cairo_surface_t* surface = CreateSurface(format, plot, output);
    cairo_t* cr = cairo_create(surface);
    DrawPlot(cr, runs, plot);
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (status == CAIRO_STATUS_SUCCESS && format == Format::kPng)
        status = cairo_surface_write_to_png_stream(surface, WritePlotBytes, &output);
    cairo_surface_finish(surface);  // vector formats write here
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) *why = cairo_status_to_string(status);
    return status == CAIRO_STATUS_SUCCESS;
}

// The files a run's rows are read from: its x (the time, or the distance), then the chart types'.
std::vector<int> RowFiles(const LogExtraction& extraction, const std::vector<Channel>& charts,
                          XAxis x) {
    std::vector<Channel> channels = ExtractedChannels(charts, x);
    std::size_t distance =
        std::find(channels.begin(), channels.end(), kDistance) - channels.begin();
    std::vector<int> files = {x == XAxis::kTime ? extraction.timeFile()
                                                : extraction.file(distance)};
    for (std::size_t chart = 0; chart < charts.size(); ++chart)
        files.push_back(extraction.file(chart));
    return files;
}

// The records `span` of a run's files as the plot's rows.
Series RunOf(const std::vector<int>& files, RecordSpan span) {
    return [files, span](const RowVisit& visit) {
        ForEachRow(files, span, [&](std::int64_t, const double* values) {
            visit({values[0], values + 1, true});
        });
    };
}

// The legend's names of the two logs: their file names, or the paths as given where the names
// are the same.
std::vector<std::string> LegendNames(const std::string& log, const std::string& other) {
    bool same = FileName(log) == FileName(other);
    return {Printable(same ? log : FileName(log)), Printable(same ? other : FileName(other))};
}

Plot DescribePlot(const PlotRequest& request, const std::string& logName,
                  const std::vector<Channel>& charts) {
    Plot plot;
    plot.size = request.size.value_or(DefaultPlotSize(static_cast<int>(charts.size())));
    plot.title = request.title ? *request.title : PlotTitle(charts, logName);
    if (request.x == XAxis::kDistance) {
        plot.xLabel = ChannelLabel(kDistance);
        plot.breakWhereXFalls = false;
    }
    for (const Channel& chart : charts) plot.yLabels.push_back(PlotLabel(chart));
    if (!request.compare.empty()) plot.legend = LegendNames(logName, request.compare);
    return plot;
}
}  // namespace

std::string PlotLabel(const Channel& chart) {
    return HasName(chart) ? ChannelLabel(chart) : "Column " + std::to_string(chart.column);
}

std::string PlotTitle(const std::vector<Channel>& charts, const std::string& logPath) {
    std::string name = Printable(FileName(logPath));
    return charts.size() == 1 ? PlotLabel(charts[0]) + " - " + name : name;
}

bool WritePlot(const std::vector<Series>& runs, const Plot& given, Format format,
               const std::string& path, std::string* err) {
    Plot plot = given;  // cairo refuses text that is not UTF-8, a file name's included
    for (std::string* text : {&plot.title, &plot.xLabel}) *text = PrintableUtf8(*text);
    for (std::vector<std::string>* texts : {&plot.yLabels, &plot.legend})
        for (std::string& text : *texts) text = PrintableUtf8(text);
    return WriteOutput(
        path,
        [&](Output& output, std::string* why) { return DrawInto(output, runs, plot, format, why); },
        err);
}

std::vector<Channel> ExtractedChannels(const std::vector<Channel>& charts, XAxis x) {
    std::vector<Channel> channels = charts;
    bool listed = std::find(charts.begin(), charts.end(), kDistance) != charts.end();
    if (x == XAxis::kDistance && !listed) channels.push_back(kDistance);
    return channels;
}

bool SavePlot(const PlotRequest& request, RecordSpan span, const std::string& logName,
              const std::vector<Channel>& charts, const LogExtraction& extraction,
              std::string* err) {
    std::vector<Series> runs = {RunOf(RowFiles(extraction, charts, request.x), span)};
    std::unique_ptr<LogExtraction> other;
    if (!request.compare.empty()) {
        other =
            std::make_unique<LogExtraction>(request.compare, ExtractedChannels(charts, request.x));
        if (!other->Start(false, err)) return false;
        runs.push_back(RunOf(RowFiles(*other, charts, request.x), {1, other->records()}));
    }
    Plot plot = DescribePlot(request, logName, charts);
    for (const std::string& path : request.paths) {
        Format format;
        if (!FormatOf(path, FormatUse::kPlot, &format, err) ||
            !WritePlot(runs, plot, format, path, err))
            return false;
    }
    return true;
}
