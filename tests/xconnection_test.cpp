// The time limit on the start on an X display: the connections it cuts and those it spares; the
// authority file checked before the start.
#include "xconnection.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_util.h"

namespace {
// True when `fd` ends (the peer or a cut closed it) within `milliseconds`.
bool EndsWithin(int fd, int milliseconds) {
    pollfd ready = {fd, POLLIN, 0};
    char byte;
    return poll(&ready, 1, milliseconds) == 1 && read(fd, &byte, 1) == 0;
}
}  // namespace

TEST(StartDeadline, CutsTheSocketsOpenedSinceAndSparesTheOthers) {
    int old[2], silent[2], later[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, old), 0);
    {
        StartDeadline deadline(1, "headline");
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, silent), 0);
        EXPECT_EQ(deadline.Reason(), "");
        EXPECT_TRUE(EndsWithin(silent[0], 5000));  // a server that never answers
        EXPECT_NE(deadline.Reason().find("no answer within 1 s"), std::string::npos);
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, later), 0);  // a probe after the cut
        EXPECT_TRUE(EndsWithin(later[0], 5000));
    }
    EXPECT_EQ(send(old[1], "x", 1, MSG_NOSIGNAL), 1);  // made before: spared
    EXPECT_FALSE(EndsWithin(old[0], 0));
    for (int fd : {old[0], old[1], silent[0], silent[1], later[0], later[1]}) close(fd);
}

TEST(StartDeadline, EndsAStartThatNoCutEnds) {
    // A start that waits on something other than a socket (an endless file, a name lookup).
    EXPECT_EXIT(
        {
            StartDeadline deadline(1, "GFX init failure! Abnormal termination!");
            for (;;) pause();
        },
        testing::ExitedWithCode(1),
        "^plovo: cannot open the X display '.*': no answer within 1 s\n$");
}

TEST(AuthorityFile, OnlyOneThatReadsToAnEndSoonIsLeftToTheLibrary) {
    ScratchDir dir;
    std::string file = dir.File("auth");
    WriteFile(file, std::string(40, 'a'));
    std::filesystem::create_directory(dir.File("folder"));
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    WriteFile(dir.File("huge"), "");
    std::filesystem::resize_file(dir.File("huge"), kMaxAuthoritySize + 1);  // sparse
    // {XAUTHORITY, why it is refused; "" for left to the library}
    std::vector<std::pair<std::string, std::string>> table = {
        {file, ""},
        {dir.File("none"), ""},  // the library goes without one
        {"/dev/null", ""},
        {"/dev/zero", "not a regular file"},
        {dir.File("fifo"), "not a regular file"},
        {dir.File("folder"), "not a regular file"},
        {dir.File("huge"), "larger than 16 MiB"}};
    setenv("DISPLAY", ":5", 1);
    for (const auto& [path, refusal] : table) {
        setenv("XAUTHORITY", path.c_str(), 1);
        std::string why;
        EXPECT_EQ(CheckAuthorityFile(&why), refusal.empty()) << path;
        if (!refusal.empty()) {
            EXPECT_EQ(why, "cannot open the X display ':5': the authority file '" + path + "' is " +
                               refusal);
        }
    }
    unsetenv("DISPLAY");
    EXPECT_TRUE(CheckAuthorityFile(nullptr));  // no display: nothing is read
    unsetenv("XAUTHORITY");
}
