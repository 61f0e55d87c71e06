// Report pictures: their options, their texts, and the file written with cairo as PNG, SVG or
// PDF.
#include "plot.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "charttypes.h"
#include "paths.h"
#include "sink.h"
#include "text.h"

namespace {
std::string LowercaseAscii(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}
}  // namespace

bool ParsePlotFormat(const std::string& path, PlotFormat* format, std::string* err) {
    std::string::size_type dot = path.rfind('.');
    std::string extension = dot == std::string::npos || path.find('/', dot) != std::string::npos
                                ? ""
                                : LowercaseAscii(path.substr(dot + 1));
    if (extension == "png" || extension == "svg" || extension == "pdf") {
        *format = extension == "png"   ? PlotFormat::kPng
                  : extension == "svg" ? PlotFormat::kSvg
                                       : PlotFormat::kPdf;
        return true;
    }
    *err = "plovo: cannot write a plot as '" + Printable(path) +
           "': the name must end in .png, .svg or .pdf";
    return false;
}

bool ParsePlotSize(const std::string& text, PlotSize* size, std::string* err) {
    int sides[2] = {0, 0};
    std::size_t at = 0;
    for (int side = 0; side < 2; ++side) {
        std::size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9')
            sides[side] = std::min(sides[side] * 10 + (text[at++] - '0'), kMaxPlotSide + 1);
        bool separated = side == 1 || (at < text.size() && (text[at] == 'x' || text[at] == 'X'));
        if (at == start || !separated) break;
        at += side == 0 ? 1 : 0;
    }
    bool fits = std::all_of(std::begin(sides), std::end(sides),
                            [](int side) { return side >= kMinPlotSide && side <= kMaxPlotSide; });
    if (at != text.size() || !fits) {
        *err = "plovo: --plot-size takes WIDTHxHEIGHT, each 100 to 10000 pixels, not '" +
               Printable(text) + "'";
        return false;
    }
    *size = {sides[0], sides[1]};
    return true;
}

std::string PlotLabel(const Channel& chart) {
    bool named = chart.derived != Derived::kNone || chart.column <= kChartTypes;
    return named ? ChannelLabel(chart) : "Column " + std::to_string(chart.column);
}

std::string PlotTitle(const std::vector<Channel>& charts, const std::string& logPath) {
    std::string name = Printable(FileName(logPath));
    return charts.size() == 1 ? PlotLabel(charts[0]) + " - " + name : name;
}

namespace {
cairo_surface_t* CreateSurface(PlotFormat format, const Plot& plot, Sink& sink) {
    double width = plot.size.width, height = plot.size.height;
    switch (format) {
        case PlotFormat::kSvg: {
            cairo_surface_t* svg =
                cairo_svg_surface_create_for_stream(WriteToSink, &sink, width, height);
            cairo_svg_surface_set_document_unit(svg, CAIRO_SVG_UNIT_PX);
            return svg;
        }
        case PlotFormat::kPdf: {
            cairo_surface_t* pdf =
                cairo_pdf_surface_create_for_stream(WriteToSink, &sink, width, height);
            cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_TITLE, plot.title.c_str());
            cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_CREATOR, "plovo");
            return pdf;
        }
        case PlotFormat::kPng:
            break;
    }
    return cairo_image_surface_create(CAIRO_FORMAT_RGB24, plot.size.width, plot.size.height);
}
}  // namespace

bool WritePlot(const std::vector<Series>& runs, const Plot& given, PlotFormat format,
               const std::string& path, std::string* err) {
    Plot plot = given;  // cairo refuses text that is not UTF-8, a file name's included
    for (std::string* text : {&plot.title, &plot.xLabel}) *text = PrintableUtf8(*text);
    for (std::vector<std::string>* texts : {&plot.yLabels, &plot.legend})
        for (std::string& text : *texts) text = PrintableUtf8(text);
    Sink sink;
    if (!sink.Open(path, err)) return false;
    cairo_surface_t* surface = CreateSurface(format, plot, sink);
    cairo_t* cr = cairo_create(surface);
    DrawPlot(cr, runs, plot);
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (status == CAIRO_STATUS_SUCCESS && format == PlotFormat::kPng)
        status = cairo_surface_write_to_png_stream(surface, WriteToSink, &sink);
    cairo_surface_finish(surface);  // vector formats write here
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (!sink.Close(err)) return false;  // the system's reason before cairo's
    if (status != CAIRO_STATUS_SUCCESS) *err = cairo_status_to_string(status);
    return status == CAIRO_STATUS_SUCCESS;
}
