// Picture files: the formats plovo writes the viewer's frames in.
#include "picture.h"

#include <allegro.h>
#include <cairo.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "outputfile.h"
#include "sink.h"
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

bool WritePng(BITMAP* picture, Sink& sink, std::string* err) {
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, picture->w, picture->h);
    cairo_status_t status = cairo_surface_status(surface);
    if (status == CAIRO_STATUS_SUCCESS) {
        CopyPixels(picture, surface);
        status = cairo_surface_write_to_png_stream(surface, WriteToSink, &sink);
    }
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) *err = cairo_status_to_string(status);
    return status == CAIRO_STATUS_SUCCESS;
}

// A packfile of the graphics library that writes to the Sink that is its user data: for the
// library's writers, which keep no reason when a write fails.
Sink* SinkOf(void* sink) {
    return static_cast<Sink*>(sink);
}
const PACKFILE_VTABLE kToSink = {
    [](void*) { return 0; },  // close: the Sink's owner closes it
    [](void*) { return EOF; },
    [](int, void*) { return EOF; },
    [](void*, long, void*) { return 0L; },
    [](int c, void* sink) { return SinkOf(sink)->Put(static_cast<unsigned char>(c)) ? c : EOF; },
    [](const void* data, long length, void* sink) {
        return SinkOf(sink)->Write(data, static_cast<std::size_t>(length)) ? length : 0L;
    },
    [](void*, int) { return -1; },  // seek: only for reading
    [](void*) { return 0; },
    [](void* sink) { return SinkOf(sink)->Good() ? 0 : 1; }};

bool WriteWithAllegro(BITMAP* picture, PictureFormat format, Sink& sink, std::string* err) {
    PACKFILE* file = pack_fopen_vtable(&kToSink, &sink);
    if (file == nullptr) {
        *err = std::strerror(errno);
        return false;
    }
    auto save = format == PictureFormat::kBmp   ? save_bmp_pf
                : format == PictureFormat::kTga ? save_tga_pf
                                                : save_pcx_pf;
    errno = 0;  // the library's errno, where a writer reports its failure
    bool saved = save(file, picture, nullptr) == 0;
    if (!saved) *err = errno != 0 ? std::strerror(errno) : "the picture could not be written";
    pack_fclose(file);
    return saved;
}

const struct KnownFormat {
    const char* extension;
    PictureFormat format;
} kFormats[] = {{"png", PictureFormat::kPng},
                {"bmp", PictureFormat::kBmp},
                {"tga", PictureFormat::kTga},
                {"pcx", PictureFormat::kPcx}};

// Writes `picture` into the file at `path` in `format`. False with the reason in err.
bool WritePictureFile(BITMAP* picture, PictureFormat format, const std::string& path,
                      std::string* err) {
    Sink sink;
    if (!sink.Open(path, err)) return false;
    std::string why;
    bool written = format == PictureFormat::kPng ? WritePng(picture, sink, &why)
                                                 : WriteWithAllegro(picture, format, sink, &why);
    if (!sink.Close(err)) return false;  // the system's reason before the writer's
    if (!written) *err = why;
    return written;
}
}  // namespace

bool ParsePictureFormat(const std::string& path, PictureFormat* format, std::string* err) {
    std::string::size_type dot = path.rfind('.');
    std::string extension;
    if (dot != std::string::npos && path.find('/', dot) == std::string::npos)
        for (char c : path.substr(dot + 1))
            extension += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const KnownFormat& known : kFormats)
        if (extension == known.extension) {
            *format = known.format;
            return true;
        }
    *err = "plovo: cannot save a picture as '" + Printable(path) +
           "': the name must end in .png, .bmp, .tga or .pcx";
    return false;
}

bool WritePicture(BITMAP* picture, const std::string& path, std::string* err) {
    PictureFormat format;
    if (!ParsePictureFormat(path, &format, err)) return false;
    return ReplaceFile(
        path,
        [&](const std::string& file, std::string* why) {
            return WritePictureFile(picture, format, file, why);
        },
        err);
}
