// Tables as CSV (RFC 4180), to standard output or to a file replaced once complete.
#include "csv.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "fdstream.h"
#include "outputfile.h"

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

void AppendCsvRow(const std::vector<std::string>& fields, std::string* out) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) *out += ',';
        *out += CsvField(fields[i]);
    }
    *out += '\n';
}

namespace {
// Writes the table into the file at `path`; false with the reason in err (without "plovo:"), or,
// when the table could not be made, with that line in `madeErr`.
bool WriteTableFile(const std::string& path, const TableWrite& write, std::string* err,
                    std::string* madeErr) {
    // Appending, for the reasons Sink::Open gives.
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        *err = std::strerror(errno);
        return false;
    }
    FdOutputBuffer buffer(fd);
    std::ostream out(&buffer);
    bool made = write(out, madeErr);
    out.flush();
    if (close(fd) != 0 && buffer.failure == 0) buffer.failure = errno;
    if (buffer.failure != 0) *err = std::strerror(buffer.failure);
    return made && buffer.failure == 0;
}
}  // namespace

bool WriteTable(const std::string& target, const TableWrite& write, std::string* err) {
    if (target == "-") return write(std::cout, err);
    std::string madeErr;
    auto step = [&](const std::string& file, std::string* reason) {
        return WriteTableFile(file, write, reason, &madeErr);
    };
    bool written = ReplaceFile(target, step, err);
    if (!madeErr.empty()) *err = madeErr;
    return written;
}
