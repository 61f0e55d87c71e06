// The time limit on the start on an X display: the connections it cuts and those it spares.
#include "xconnection.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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

TEST(StartDeadline, EndsAStartThatNoCutEnds) {  // waiting on a file, a name lookup
    EXPECT_EXIT(
        {
            StartDeadline deadline(1, "GFX init failure! Abnormal termination!");
            for (;;) pause();
        },
        testing::ExitedWithCode(1),
        "^plovo: cannot open the X display '.*': no answer within 1 s\n$");
}
