// Cutting columns out of data lines that arrive in pieces.
#include "scanner.h"

#include "test_util.h"

namespace {
// Each line's fields, as "[field]" texts, one line per row.
struct Collected : LineSink {
    explicit Collected(std::size_t fields) : fields(fields) {}
    void OnLine(const FieldText* texts) override {
        for (std::size_t i = 0; i < fields; ++i)
            lines += "[" + std::string(texts[i].text, texts[i].length) + "]";
        lines += "\n";
    }
    std::size_t fields;
    std::string lines;
};
}  // namespace

TEST(ColumnScanner, PiecesOfAnySizeGiveTheSameFields) {
    // An empty line, a short line, CRLF, a lone CR line, a line cut inside column 2, and a last
    // line without its line feed; columns in any order, one of them twice.
    std::string body = Row("1") + "\r\n" + Line({"1"}) + Row("-2", "\r\n") + "\n" + Column("1") +
                       " 3" + "\n" + Row("4", "");
    const std::vector<int> columns = {2, 1, 11, 2};
    ColumnScanner whole(columns);
    Collected expected(columns.size());
    whole.Feed(body.data(), body.size(), expected);
    whole.Finish(expected);
    EXPECT_EQ(whole.lines(), 5);
    std::string first =
        "[" + Padded("1") + "][" + Padded("1.0") + "][" + Padded("11") + "][" + Padded("1") + "]\n";
    EXPECT_EQ(expected.lines.substr(0, first.size()), first);
    EXPECT_NE(expected.lines.find("\n[][" + Padded("1") + "][][]\n"),
              std::string::npos);  // the short line's missing columns are empty
    for (std::size_t piece = 1; piece <= 29; ++piece) {
        ColumnScanner scanner(columns);
        Collected got(columns.size());
        for (std::size_t at = 0; at < body.size(); at += piece)
            scanner.Feed(body.data() + at, std::min(piece, body.size() - at), got);
        scanner.Finish(got);
        EXPECT_EQ(got.lines, expected.lines) << piece;
    }
}
