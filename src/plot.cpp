// Report plots: their texts, and the files written with cairo as PNG (with its resolution), SVG
// or PDF.
#include "plot.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>

#include "files.h"
#include "text.h"

namespace {
constexpr double kReportWidth = 0.16;  // m: the width the text sizes are made for

cairo_status_t WritePlotBytes(void* write, const unsigned char* data, unsigned int length) {
    bool written = (*static_cast<const PlotBytes*>(write))(data, length);
    return written ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

// Passes a PNG's bytes on with a pHYs chunk (pixels a metre, both ways) after the signature and
// the IHDR chunk, which cairo writes first and which pHYs must follow; cairo writes no pHYs of
// its own. Bytes that are not such a PNG pass as they are.
class PngResolution {
  public:
    PngResolution(const PlotBytes& next, std::uint32_t pixelsPerMetre)
        : next(next), pixelsPerMetre(pixelsPerMetre) {}

    bool operator()(const unsigned char* data, std::size_t length) {
        if (passed) return next(data, length);
        head.append(reinterpret_cast<const char*>(data), length);
        return head.size() < kHeader || Pass();
    }
    // Passes what is still held.
    bool Finish() { return passed || head.empty() || Pass(); }

  private:
    static constexpr std::size_t kHeader = 8 + 4 + 4 + 13 + 4;  // signature, IHDR chunk

    bool Pass() {
        passed = true;
        if (head.size() >= kHeader && head.compare(8, 8, std::string("\0\0\0\x0dIHDR", 8)) == 0)
            head.insert(kHeader, Chunk());
        return next(reinterpret_cast<const unsigned char*>(head.data()), head.size());
    }
    // Its length, type, data (X and Y pixels a unit, unit 1: the metre) and CRC, big-endian.
    std::string Chunk() const {
        unsigned char chunk[4 + 4 + 9 + 4] = {0, 0, 0, 9, 'p', 'H', 'Y', 's'};
        for (int axis = 0; axis < 2; ++axis)
            for (int byte = 0; byte < 4; ++byte)
                chunk[8 + 4 * axis + byte] =
                    static_cast<unsigned char>(pixelsPerMetre >> (24 - 8 * byte));
        chunk[16] = 1;
        uLong crc = crc32(crc32(0, nullptr, 0), chunk + 4, 4 + 9);
        for (int byte = 0; byte < 4; ++byte)
            chunk[17 + byte] = static_cast<unsigned char>(crc >> (24 - 8 * byte));
        return std::string(reinterpret_cast<const char*>(chunk), sizeof chunk);
    }

    const PlotBytes& next;
    std::uint32_t pixelsPerMetre;
    std::string head;  // the bytes before the chunk's place, until it is passed
    bool passed = false;
};

cairo_surface_t* CreateSurface(Format format, const Plot& plot, const PlotBytes& write) {
    double width = plot.size.width, height = plot.size.height;
    void* closure = const_cast<PlotBytes*>(&write);
    switch (format) {
        case Format::kSvg: {
            cairo_surface_t* svg =
                cairo_svg_surface_create_for_stream(WritePlotBytes, closure, width, height);
            cairo_svg_surface_set_document_unit(svg, CAIRO_SVG_UNIT_PX);
            return svg;
        }
        case Format::kPdf: {
            cairo_surface_t* pdf =
                cairo_pdf_surface_create_for_stream(WritePlotBytes, closure, width, height);
            cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_TITLE, plot.title.c_str());
            cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_CREATOR, "plovo");
            return pdf;
        }
        default:
            break;
    }
    return cairo_image_surface_create(CAIRO_FORMAT_RGB24, plot.size.width, plot.size.height);
}

// Draws the plot and hands its bytes to `write`; false with cairo's reason in `why`.
bool Draw(const std::vector<Series>& runs, const Plot& plot, Format format, const PlotBytes& write,
          std::vector<bool>* drawn, std::string* why) {
    cairo_surface_t* surface = CreateSurface(format, plot, write);
    cairo_t* cr = cairo_create(surface);
    std::vector<bool> runsDrawn = DrawPlot(cr, runs, plot);
    if (drawn != nullptr) *drawn = runsDrawn;
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (status == CAIRO_STATUS_SUCCESS && format == Format::kPng) {
        double perMetre =
            plot.pixelsPerMetre > 0 ? plot.pixelsPerMetre : plot.size.width / kReportWidth;
        PngResolution png(write, static_cast<std::uint32_t>(std::lround(perMetre)));
        const PlotBytes withResolution = [&png](const unsigned char* data, std::size_t length) {
            return png(data, length);
        };
        status = cairo_surface_write_to_png_stream(surface, WritePlotBytes,
                                                   const_cast<PlotBytes*>(&withResolution));
        if (status == CAIRO_STATUS_SUCCESS && !png.Finish()) status = CAIRO_STATUS_WRITE_ERROR;
    }
    cairo_surface_finish(surface);  // vector formats write here
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) *why = cairo_status_to_string(status);
    return status == CAIRO_STATUS_SUCCESS;
}
}  // namespace

std::string PlotLabel(const Channel& chart) {
    return HasName(chart) ? ChannelLabel(chart) : "Column " + std::to_string(chart.column);
}

std::string PlotTitle(const std::vector<std::string>& labels, const std::string& logPath) {
    std::string name = Printable(FileName(logPath));
    return labels.size() == 1 ? labels[0] + " - " + name : name;
}

bool RenderPlot(const std::vector<Series>& runs, const Plot& given, Format format,
                const PlotBytes& write, std::vector<bool>* drawn, std::string* why) {
    Plot plot = given;  // cairo refuses text that is not UTF-8, a file name's included
    for (std::string* text : {&plot.title, &plot.xLabel}) *text = PrintableUtf8(*text);
    for (std::vector<std::string>* texts : {&plot.yLabels, &plot.legend})
        for (std::string& text : *texts) text = PrintableUtf8(text);
    for (PlotMark& mark : plot.marks) mark.text = PrintableUtf8(mark.text);
    return Draw(runs, plot, format, write, drawn, why);
}

bool WritePlot(const std::vector<Series>& runs, const Plot& plot, Format format,
               const std::string& path, std::string* err, std::vector<bool>* drawn) {
    return WriteOutput(
        path,
        [&](Output& output, std::string* why) {
            return RenderPlot(
                runs, plot, format,
                [&output](const unsigned char* data, std::size_t length) {
                    return output.Write(data, length);
                },
                drawn, why);
        },
        err);
}
