// Cutting columns out of data lines that arrive in pieces.
#include "scanner.h"

#include "test_util.h"

TEST(ColumnScanner, PiecesOfAnySizeGiveTheSameRecords) {
    std::string body = Row("1") + "\r\n" + Line({"1"}) + Row("-2", "\r\n") + "\n" + Column("1") +
                       " 3" + "\n" + Row("4", "");
    ColumnScanner whole(2, 1);
    std::string expected, expectedTimes;
    whole.Feed(body.data(), body.size(), expected, &expectedTimes);
    whole.Finish(expected, &expectedTimes);
    EXPECT_EQ(expectedTimes.substr(0, 23), Padded("1.0"));
    for (std::size_t piece = 1; piece <= 29; ++piece) {
        ColumnScanner scanner(2, 1);
        std::string out, times;
        for (std::size_t at = 0; at < body.size(); at += piece)
            scanner.Feed(body.data() + at, std::min(piece, body.size() - at), out, &times);
        scanner.Finish(out, &times);
        EXPECT_EQ(out, expected) << piece;
        EXPECT_EQ(times, expectedTimes) << piece;
        EXPECT_EQ(scanner.records(), 5);
        EXPECT_EQ(scanner.extreme(), 4.0);
    }
}
