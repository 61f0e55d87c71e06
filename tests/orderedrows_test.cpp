// Rows written in the order of the logs whatever order they come in, under a memory limit.
#include "orderedrows.h"

#include <sstream>
#include <thread>

#include "test_util.h"

TEST(OrderedRows, ALaterLogWaitsAtTheLimitAndRowsComeOutInOrder) {
    std::ostringstream summary, brakings;
    std::string said;
    OrderedRows rows({{&summary}, {&brakings}}, 3, 1000,
                     [&](const std::string& line) { said += line; });
    std::size_t log0 = 9, log1 = 9, log2 = 9;
    ASSERT_TRUE(rows.Take(&log0) && rows.Take(&log1) && rows.Take(&log2));
    EXPECT_EQ(log0 + log1 + log2, 3u);
    EXPECT_FALSE(rows.Take(&log2));
    // Log 1 is done first, with more rows than the limit: its worker waits for log 0.
    std::thread later([&] {
        rows.Add(1, 1, std::string(600, 'b'));
        rows.Add(1, 1, std::string(600, 'c'));
        rows.Add(1, 0, "one\n");
        rows.Done(1, "");
    });
    rows.Add(2, 1, "lost\n");
    rows.Done(2, "plovo: cannot read log '2': Input/output error");  // its rows dropped
    rows.Add(0, 0, "zero\n");                                        // held, under the limit
    EXPECT_EQ(summary.str() + brakings.str(), "");
    rows.Done(0, "");
    later.join();
    EXPECT_TRUE(rows.Finished(std::chrono::milliseconds(0)));
    EXPECT_EQ(summary.str(), "zero\none\n");
    EXPECT_EQ(brakings.str(), std::string(600, 'b') + std::string(600, 'c'));
    EXPECT_EQ(said, "plovo: cannot read log '2': Input/output error");
    EXPECT_EQ(rows.done(), 3u);

    // A table that cannot be written ends the handing out.
    std::ostringstream broken;
    broken.setstate(std::ios::badbit);
    OrderedRows failing({{&broken}}, 2, 1000, [](const std::string&) {});
    std::size_t log = 9;
    ASSERT_TRUE(failing.Take(&log));
    failing.Add(log, 0, "row\n");
    failing.Done(log, "");
    EXPECT_TRUE(failing.failed());
    EXPECT_FALSE(failing.Take(&log));
    EXPECT_TRUE(failing.Finished(std::chrono::milliseconds(0)));
}
