// The viewer's pictures as files: its first frame (--snapshot) and the whole log (--overview),
// written as PNG with cairo, or as BMP, TGA or PCX with the graphics library.
#include "picture.h"

#include <allegro.h>
#include <cairo.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "globals.h"
#include "overview.h"
#include "text.h"

namespace {
// The pixels of a 16-bit bitmap widened to 8 bits a channel as the graphics library widens them
// (5 bits v to round(v * 255 / 31)), the colours the window shows.
void CopyPixels(BITMAP* picture, cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < picture->h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        for (int x = 0; x < picture->w; ++x) {
            int c = _getpixel16(picture, x, y);
            row[x] = getr16(c) << 16 | getg16(c) << 8 | getb16(c);
        }
    }
    cairo_surface_mark_dirty(surface);
}

cairo_status_t WritePictureBytes(void* output, const unsigned char* data, unsigned int length) {
    bool written = static_cast<Output*>(output)->Write(data, length);
    return written ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

bool WritePng(BITMAP* picture, Output& output, std::string* err) {
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, picture->w, picture->h);
    cairo_status_t status = cairo_surface_status(surface);
    if (status == CAIRO_STATUS_SUCCESS) {
        CopyPixels(picture, surface);
        status = cairo_surface_write_to_png_stream(surface, WritePictureBytes, &output);
    }
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) *err = cairo_status_to_string(status);
    return status == CAIRO_STATUS_SUCCESS;
}

// A packfile of the graphics library that writes to the Output that is its user data: for the
// library's writers, which keep no reason when a write fails.
Output* OutputOf(void* output) {
    return static_cast<Output*>(output);
}
const PACKFILE_VTABLE kToOutput = {
    [](void*) { return 0; },  // close: the Output's owner closes it
    [](void*) { return EOF; },
    [](int, void*) { return EOF; },
    [](void*, long, void*) { return 0L; },
    [](int c, void* output) {
        unsigned char byte = static_cast<unsigned char>(c);
        return OutputOf(output)->Write(&byte, 1) ? c : EOF;
    },
    [](const void* data, long length, void* output) {
        return OutputOf(output)->Write(data, static_cast<std::size_t>(length)) ? length : 0L;
    },
    [](void*, int) { return -1; },  // seek: only for reading
    [](void*) { return 0; },
    [](void* output) { return OutputOf(output)->good() ? 0 : 1; }};

bool WriteWithAllegro(BITMAP* picture, Format format, Output& output, std::string* err) {
    PACKFILE* file = pack_fopen_vtable(&kToOutput, &output);
    if (file == nullptr) {
        *err = std::strerror(errno);
        return false;
    }
    auto save = format == Format::kBmp   ? save_bmp_pf
                : format == Format::kTga ? save_tga_pf
                                         : save_pcx_pf;
    errno = 0;  // the library's errno, where a writer reports its failure
    bool saved = save(file, picture, nullptr) == 0;
    if (!saved) *err = errno != 0 ? std::strerror(errno) : "the picture could not be written";
    pack_fclose(file);
    return saved;
}

std::string OutOfMemory(const std::string& path) {
    return "plovo: cannot draw the picture for '" + Printable(path) + "': out of memory";
}
}  // namespace

bool WritePicture(BITMAP* picture, const std::string& path, std::string* err) {
    Format format;
    if (!FormatOf(path, FormatUse::kPicture, &format, err)) return false;
    return WriteOutput(
        path,
        [&](Output& output, std::string* why) {
            return format == Format::kPng ? WritePng(picture, output, why)
                                          : WriteWithAllegro(picture, format, output, why);
        },
        err);
}

bool SaveSnapshot(Viewer& viewer, const std::string& path, std::string* err) {
    BITMAP* picture = create_bitmap(iscrWidth, iscrHeight);
    bool saved = false;
    if (picture == nullptr || !ShowFirstFrame(viewer, picture)) {
        *err = OutOfMemory(path);
    } else {
        ViewerPass(viewer, KeySnapshot{}, picture);
        saved = WritePicture(picture, path, err);
    }
    if (picture != nullptr) destroy_bitmap(picture);
    DestroyCanvases(viewer.canvases);
    return saved;
}

bool SaveOverview(const std::string& path, std::int64_t first, const SampleRange& range,
                  std::string* err) {
    Canvases canvases;
    bool saved = CreateCanvases(canvases);
    if (!saved) *err = OutOfMemory(path);
    if (saved) {
        DrawOverview(canvases, first, range);
        saved = WritePicture(canvases.frame, path, err);
    }
    DestroyCanvases(canvases);
    return saved;
}
