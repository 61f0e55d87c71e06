// Helpers shared by the tests: a scratch directory, logs built in memory, the globals' reset.
#pragma once

#include <allegro.h>
#include <cairo.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "globals.h"
#include "session.h"
#include "tempfiles.h"

// A fresh directory that is deleted with everything in it at the end of the test.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "plovo-test-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }
    std::string File(const std::string& name) const { return path + "/" + name; }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path))
            names.push_back(entry.path().filename().string());
        return names;
    }
    std::string path;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline void AppendFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A 247-byte header, as the simulator writes one (its content is never read).
inline std::string Header() {
    return std::string(246, 'H') + "\n";
}

// One column: the field right-aligned in 23 characters, then the separator.
inline std::string Column(const std::string& field) {
    return std::string(23 - field.size(), ' ') + field + " ";
}

// A line whose columns all hold the given fields, ended by eol.
inline std::string Line(const std::vector<std::string>& fields, const std::string& eol = "\n") {
    std::string line;
    for (const auto& field : fields) line += Column(field);
    return line + eol;
}

// Eleven columns whose column 2 holds `field`.
inline std::string Row(const std::string& field, const std::string& eol = "\n") {
    return Line({"1.0", field, "3", "4", "5", "6", "7", "8", "9", "10", "11"}, eol);
}

// A field as its record in the temporary file holds it: right-aligned, 23 bytes.
inline std::string Padded(const std::string& field) {
    return Column(field).substr(0, 23);
}

// Runs `run` under a file size limit of `bytes`, which stands in for a full disk.
inline void UnderSizeLimit(rlim_t bytes, const std::function<void()>& run) {
    struct rlimit saved, small;
    getrlimit(RLIMIT_FSIZE, &saved);
    small = saved;
    small.rlim_cur = bytes;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    run();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
}

extern char** environ;

// The current environment without the variables named, plus the entries added.
inline std::vector<std::string> Environment(const std::vector<std::string>& drop,
                                            const std::vector<std::string>& add) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        bool dropped = false;
        for (const auto& name : drop) dropped = dropped || entry.rfind(name + "=", 0) == 0;
        if (!dropped) env.push_back(entry);
    }
    env.insert(env.end(), add.begin(), add.end());
    return env;
}

// Starts `program` (looked up in PATH) with argv `args` and environment `env`, standard input
// from /dev/null, standard output to `output` (or /dev/null), `fd3` as its descriptor 3 and
// standard error to `error` (or ours). Pass descriptors opened with O_CLOEXEC, so that the
// child keeps only these. -1 on failure.
inline pid_t Spawn(const std::string& program, std::vector<std::string> args,
                   std::vector<std::string> env, int output = -1, int fd3 = -1, int error = -1) {
    std::vector<char*> argv, envp;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output >= 0)
        posix_spawn_file_actions_adddup2(&actions, output, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (fd3 >= 0) posix_spawn_file_actions_adddup2(&actions, fd3, 3);
    if (error >= 0) posix_spawn_file_actions_adddup2(&actions, error, 2);
    pid_t pid = -1;
    if (posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// A wait status as the shell reports it: the exit status, or 128 + the signal's number.
inline int ExitStatus(int waitStatus) {
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

// Starts Allegro without a display, which is enough to draw into 16-bit memory bitmaps.
inline void UseMemoryBitmaps() {
    static bool started = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
    ASSERT_TRUE(started);
    set_color_depth(16);
}

// The colours of a bitmap's pixels, 0xRRGGBB row after row, as Allegro gives them (getr16 and
// its kin for 16 bits).
inline std::vector<std::uint32_t> Colours(BITMAP* bitmap) {
    std::vector<std::uint32_t> colours;
    int depth = bitmap_color_depth(bitmap);
    for (int y = 0; y < bitmap->h; ++y)
        for (int x = 0; x < bitmap->w; ++x) {
            int c = getpixel(bitmap, x, y);
            colours.push_back(getr_depth(depth, c) << 16 | getg_depth(depth, c) << 8 |
                              getb_depth(depth, c));
        }
    return colours;
}

// The colours in a PNG file, read by cairo, as Colours gives them; none when it is not one.
inline std::vector<std::uint32_t> PngColours(const std::string& path) {
    std::vector<std::uint32_t> colours;
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    for (int y = 0; cairo_surface_status(png) == 0 && y < cairo_image_surface_get_height(png); ++y)
        for (int x = 0; x < cairo_image_surface_get_width(png); ++x)
            colours.push_back(
                reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(png) +
                                                 y * cairo_image_surface_get_stride(png))[x] &
                0xFFFFFF);
    cairo_surface_destroy(png);
    return colours;
}

// The run whose temporary files czytaj, RecordTime and the window read in a test, kept until the
// next MakeTempFile or the end of the test.
inline std::unique_ptr<Session>& TestSession() {
    static std::unique_ptr<Session> session;
    return session;
}

// Extracts `channel` of a log as the window's run does: the records become iFc, their files
// those czytaj reads. Returns the extreme sample (0.0 when there is none, or on a failure, with
// one line in err); `range`, when given, gets the smallest and largest samples.
inline double MakeTempFile(const char* logName, const Channel& channel, std::string* err,
                           SampleRange* range = nullptr) {
    TestSession().reset();  // its files go first, as a new one replaces them
    auto session = std::make_unique<Session>(logName, std::vector<Channel>{channel});
    if (!session->Open(false, err)) return 0.0;
    if (range != nullptr) *range = session->extraction().range();
    TestSession() = std::move(session);
    return TestSession()->extraction().extreme();
}
inline double MakeTempFile(const char* logName, int column, std::string* err,
                           SampleRange* range = nullptr) {
    return MakeTempFile(logName, ColumnChannel(column), err, range);
}
// The paths of the files of the last MakeTempFile: the samples and the times ("" when the samples
// are the time column).
inline std::string TempPath() {
    return TestSession() ? TestSession()->extraction().path(0) : "";
}
inline std::string TimePath() {
    const LogExtraction& extraction = TestSession()->extraction();
    return extraction.timeFile() == extraction.file(0) ? "" : extraction.timePath();
}

// Sets the shared globals back to their values before main runs.
inline void ResetGlobals() {
    iscrWidth = iscrHeight = ZeroLine = 0;
    multiplier = 1.0;
    scaleExtreme = 0.0;
    iFc = 0;
    isFp = 1;
    ieFp = 0;
    value = 0.0;
    cType.clear();
}

// Gives each test fresh globals, a private $TMPDIR, and removes the temp file afterwards.
class PlovoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetGlobals();
        savedTmpdir = getenv("TMPDIR") ? getenv("TMPDIR") : "";
        setenv("TMPDIR", tmp.path.c_str(), 1);
    }
    void TearDown() override {
        TestSession().reset();
        RemoveTempFile();
        if (savedTmpdir.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", savedTmpdir.c_str(), 1);
    }
    // A temporary file whose record k holds the number k, for k = 1 .. records.
    void MakeRecords(int records) {
        std::string body;
        for (int k = 1; k <= records; ++k) body += Line({std::to_string(k)});
        std::string log = work.File("records.dat");
        WriteFile(log, Header() + body);
        std::string error;
        MakeTempFile(log.c_str(), 1, &error);
        ASSERT_EQ(error, "");
    }

    ScratchDir tmp;
    ScratchDir work;
    std::string savedTmpdir;
};
