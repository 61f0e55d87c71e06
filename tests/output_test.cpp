// Outputs: never an input nor another output, refused before anything is read when they cannot
// be written, replaced only by a complete file, and written in whole rows.
#include "output.h"

#include <sys/stat.h>
#include <unistd.h>

#include "test_util.h"

TEST(OutputChecks, AnOutputIsNeverAnInputNorAnotherOutput) {
    ScratchDir dir;
    std::string log = dir.File("run.dat"), err;
    WriteFile(log, "log");
    std::filesystem::create_symlink(log, dir.File("link.png"));
    std::filesystem::create_directory(dir.File("d"));
    EXPECT_FALSE(CheckOutputsAreNotInputs({log}, {dir.File("link.png")}, &err));
    EXPECT_EQ(err, "plovo: cannot write '" + dir.File("link.png") +
                       "': it is the same file as the input '" + log + "'");
    // Not there yet: told by its folder and name.
    EXPECT_FALSE(
        CheckOutputsAreNotInputs({}, {dir.File("new.png"), dir.File("d/../new.png")}, &err));
    EXPECT_EQ(err, "plovo: cannot write '" + dir.File("d/../new.png") +
                       "': it is the same file as the output '" + dir.File("new.png") + "'");
    // A device keeps nothing to lose: two outputs may share it.
    EXPECT_TRUE(
        CheckOutputsAreNotInputs({log}, {"/dev/null", "/dev/null", dir.File("a.csv")}, &err));
    // Standard output on a file (a shell's >>) is that file, named as standard output.
    int saved = dup(STDOUT_FILENO);
    int file = open(log.c_str(), O_WRONLY | O_APPEND);
    dup2(file, STDOUT_FILENO);
    bool refused = !CheckOutputsAreNotInputs({log}, {"-"}, &err);
    dup2(saved, STDOUT_FILENO);
    close(file);
    close(saved);
    EXPECT_TRUE(refused);
    EXPECT_EQ(
        err, "plovo: cannot write standard output: it is the same file as the input '" + log + "'");
}

TEST(OutputChecks, AnOutputIsRefusedForWhatKeepsItFromBeingWritten) {
    ScratchDir dir;
    std::string err, log = dir.File("log.dat");
    WriteFile(log, "");
    std::filesystem::create_directory(dir.File("d.png"));
    std::filesystem::create_symlink("loop.png", dir.File("loop.png"));
    for (const auto& [name, reason] : std::vector<std::pair<std::string, std::string>>{
             {dir.File("d.png"), "Is a directory"},
             {dir.File("none/x.png"), "No such file or directory"},
             {dir.File("loop.png"), "Too many levels of symbolic links"},
             {log + "/x.png", "Not a directory"}}) {
        EXPECT_FALSE(CheckOutputsWritable({name}, &err)) << name;
        EXPECT_EQ(err, "plovo: cannot write '" + name + "': " + reason);
    }
    EXPECT_TRUE(CheckOutputsWritable({"-", dir.File("new.csv"), log, "/dev/null"}, &err)) << err;
}

TEST(Output, AFileIsReplacedOnlyOnceCompleteAndKeepsItsMode) {
    ScratchDir dir;
    std::string path = dir.File("table.csv"), err;
    WriteFile(path, "old\n");
    chmod(path.c_str(), 0640);
    {
        Output output;
        ASSERT_TRUE(output.Open(path, &err)) << err;
        output.stream() << "new\n";
        ASSERT_TRUE(output.Finish(&err)) << err;
        EXPECT_EQ(ReadFile(path), "old\n");  // until the commit
        EXPECT_EQ(dir.Entries().size(), 2u);
        ASSERT_TRUE(output.Commit(&err)) << err;
    }
    EXPECT_EQ(ReadFile(path), "new\n");
    EXPECT_EQ(dir.Entries().size(), 1u);
    struct stat status;
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    // A writer that fails for its own reason replaces nothing and leaves no sibling.
    EXPECT_FALSE(WriteOutput(
        path,
        [](Output& output, std::string* why) {
            output.stream() << "half";
            *why = "out of memory";
            return false;
        },
        &err));
    EXPECT_EQ(err, "plovo: cannot write '" + path + "': out of memory");
    EXPECT_EQ(ReadFile(path), "new\n");
    EXPECT_EQ(dir.Entries().size(), 1u);
}

TEST(OutputBuffer, WhatIsWrittenEndsOnARow) {
    ScratchDir dir;
    std::string path = dir.File("rows.csv");
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    {
        FdOutputBuffer buffer(fd);
        std::ostream out(&buffer);
        for (int row = 0; row < 20000; ++row) out << row << ",0.125,-3\n";
        // Blocks went out as the buffer filled: each cut at its last line feed.
        std::string written = ReadFile(path);
        ASSERT_GT(written.size(), 65536u);
        EXPECT_EQ(written.back(), '\n');
        out << "1,2,3";  // a last row without its line feed still goes out at the end
        out.flush();
        EXPECT_EQ(buffer.failure, 0);
    }
    close(fd);
    std::string all = ReadFile(path);
    EXPECT_EQ(all.substr(all.size() - 20), "19999,0.125,-3\n1,2,3");
}
