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

namespace {
// The fields of `body` fed at once, in pieces of `piece` bytes, or a byte at a time (piece 1,
// which never finds a whole line, as memchr or at its expected place).
std::string Scan(const std::string& body, const std::vector<int>& columns, std::size_t piece,
                 std::int64_t* lines = nullptr) {
    ColumnScanner scanner(columns);
    Collected got(columns.size());
    for (std::size_t at = 0; at < body.size(); at += piece)
        scanner.Feed(body.data() + at, std::min(piece, body.size() - at), got);
    scanner.Finish(got);
    if (lines != nullptr) *lines = scanner.lines();
    return got.lines;
}
}  // namespace

TEST(ColumnScanner, LinesOfOneLengthGiveWhatAnyLineGives) {
    // Three columns, 73 bytes a line; column 5 is past every line's end.
    const std::vector<int> columns = {2, 1, 3, 5};
    const std::string line = Line({"1.0", "-2.5", "3"});
    std::string withNul = line, withLf = line, cut = line;
    withNul[30] = '\0';  // inside column 2's field
    withLf[40] = '\n';   // two lines in the bytes of one: the last line feed is where expected
    cut.resize(20);      // a line shorter than its first column
    const std::vector<std::pair<const char*, std::string>> odd = {
        {"short", Line({"1.0", "-2.5"})},
        {"long", Line({"1.0", "-2.5", "3", "4"})},
        {"one byte longer", Line({"1.0", "-2.5", "3"}, " \n")},
        {"CRLF", Line({"1.0", "-2.5", "3"}, "\r\n")},
        {"empty", "\n"},
        {"only CR", "\r\n"},
        {"NUL", withNul},
        {"line feed inside", withLf},
        {"cut", cut + "\n"},
    };
    const int kLines = 5;
    for (const auto& [name, oddLine] : odd) {
        for (int at = 0; at <= kLines; ++at) {
            std::string body;
            for (int k = 0; k < kLines; ++k) body += k == at ? oddLine : line;
            if (at == kLines) body.pop_back();  // no line feed after the last line
            std::int64_t lines = 0, bytewise = 0;
            const std::string expected = Scan(body, columns, 1, &bytewise);
            ASSERT_EQ(Scan(body, columns, body.size(), &lines), expected) << name << " at " << at;
            ASSERT_EQ(lines, bytewise) << name << " at " << at;
            for (std::size_t piece = 2; piece < body.size(); ++piece)
                ASSERT_EQ(Scan(body, columns, piece), expected)
                    << name << " at " << at << ", pieces of " << piece;
        }
    }
    // The oracle itself: a line feed inside makes one line more, an empty line one less.
    std::int64_t lines = 0;
    Scan(line + withLf + line, columns, 1, &lines);
    EXPECT_EQ(lines, 4);
    Scan(line + "\r\n" + line, columns, 1, &lines);
    EXPECT_EQ(lines, 2);
    std::string field = Padded("-2.5");
    field[30 - kColumnWidth] = '\0';  // a NUL stays in the field, for the parser to stop at
    EXPECT_EQ(Scan(line + withNul, {2}, 1), "[" + Padded("-2.5") + "]\n[" + field + "]\n");
}
