// A file written through a stream that keeps the first error: for the picture writers (cairo's,
// the graphics library's) that report only that a write failed, never why.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <cstdio>
#include <string>

class Sink {
  public:
    Sink() = default;
    Sink(const Sink&) = delete;
    Sink& operator=(const Sink&) = delete;
    ~Sink();

    // Opens `path` for writing after what it holds (a new file is empty). False with the
    // system's reason in err.
    bool Open(const std::string& path, std::string* err);
    // Writes `length` bytes; once a write has failed, writes nothing more. False from then on.
    bool Write(const void* data, std::size_t length);
    // Writes one byte, as Write does: the graphics library's writers give most bytes one by one.
    bool Put(unsigned char byte);
    // True until a write has failed.
    bool Good() const { return error == 0; }
    // Closes the file. False with the first failure's reason (a write's, else the close's) in
    // err, one line such as "No space left on device".
    bool Close(std::string* err);

  private:
    std::FILE* file = nullptr;
    int error = 0;  // errno of the first failed write
};

// cairo's write function, with a Sink as its closure.
cairo_status_t WriteToSink(void* sink, const unsigned char* data, unsigned int length);
