// A log read in parts by workers gives every consumer what reading it in place gives, wherever
// the parts end: in a line, on its line feed, inside a brake application or a run of NaN.
#include "readahead.h"

#include <unistd.h>

#include <cstring>
#include <optional>

#include "export.h"
#include "extraction.h"
#include "number.h"
#include "output.h"
#include "stats.h"
#include "summary.h"
#include "test_util.h"

namespace {
using Parts = std::optional<std::pair<unsigned, std::size_t>>;  // workers and chunk, or in place

// Notes every line as it comes: its number, its fields and their numbers' bits. A slow one takes
// its time, so that the workers read and parse chunks ahead of it rather than leave them to it.
class Recorder : public LineConsumer {
  public:
    Recorder(ColumnSet& columns, bool slow) : slow(slow) {
        for (int column : {2, 1, 9, 30}) fields.push_back(columns.Field(column));
    }
    void OnLine(const LogLine& line) override {
        if (slow) usleep(50);
        text += std::to_string(line.record);
        for (std::size_t field : fields) {
            double number = line.Number(field);
            char bits[sizeof number];
            std::memcpy(bits, &number, sizeof number);
            text += "|" + std::string(line.fields[field].text, line.fields[field].length) + "=" +
                    std::string(bits, sizeof bits);
        }
        text += "\n";
    }
    std::string text;

  private:
    std::vector<std::size_t> fields;
    bool slow;
};

std::string Lines(const std::string& log, const Parts& parts, bool slow = false) {
    LogReader reader(log);
    Recorder recorder(reader.columns(), slow);
    reader.Add(recorder);
    if (parts) reader.UseWorkers(parts->first, parts->second);
    std::string err;
    EXPECT_TRUE(reader.Start(false, &err)) << err;
    return recorder.text + "lines " + std::to_string(reader.lines());
}

// Lines of one length, then every kind of line that breaks it: short ones, CRLF, empty ones,
// NaN, a NUL, text, one longer than a chunk, and a last line without its line feed.
std::string OddLog() {
    std::string body;
    for (int i = 0; i < 40; ++i) body += Line({std::to_string(i * 0.1), std::to_string(i % 7)});
    body += "short 1\n\n\r\n" + Line({"4.5", "nan"}, "\r\n") + Line({"4.6", "-inf"});
    body += Line({"4.7", std::string("1\0002", 3)}) + "\n" + Line({"4.8", "text", "3e2"});
    body += Column("4.9") + std::string(3000, '7') + "\n";
    for (int i = 0; i < 30; ++i) body += Line({std::to_string(5 + i * 0.1), "12.5"});
    return Header() + body + Line({"9.9", "last"}).substr(0, 47);
}

// A run that brakes to a stop, and again without stopping, with pressures and speeds that turn
// NaN for a while, as the summary, the figures, the export and the extraction read it.
std::string BrakingLog() {
    std::string body;
    double speed = 20;
    for (int i = 0; i < 400; ++i) {
        bool on = i % 50 >= 20;
        speed = on ? std::max(0.0, speed - (i < 200 ? 1.5 : 0.1)) : speed + 0.5;
        std::string pressure = i % 37 < 3 ? "nan" : on ? "0.35" : "0.01";
        std::string velocity = i % 91 < 2 ? "nan" : std::to_string(speed);
        body += Line({std::to_string(i * 0.1), velocity, std::to_string(on ? -1.2 : 0.1), "0",
                      std::to_string(i % 13 - 6), std::to_string(i % 5), "0", "0", pressure, "0",
                      std::to_string(i * 3 % 500)});
    }
    return Header() + body;
}

// Every output's result for a log, read in place or in parts.
std::string Outputs(const std::string& log, const std::string& dir, const Parts& parts) {
    auto use = [&](LogReader& reader) {
        if (parts) reader.UseWorkers(parts->first, parts->second);
    };
    std::string err, all;
    {
        LogExtraction extraction(log, {ColumnChannel(2), Channel{0, Derived::kDistance}});
        use(extraction.reader());
        StatsFigures figures(ColumnChannel(9), StretchChoice{1, 12.0, 30.0},
                             extraction.reader().columns());
        extraction.reader().Add(figures);
        EXPECT_TRUE(extraction.Start(false, &err)) << err;
        all += ReadFile(extraction.path(0)) + ReadFile(extraction.path(1)) +
               ReadFile(extraction.timePath()) + ExactText(extraction.extreme()) +
               StatsText(log, ColumnChannel(9), figures.whole(), figures.stretch());
    }
    {
        LogReader reader(log);
        use(reader);
        std::string brakings;
        RunSummary summary(
            BrakingRule(), [&](const Braking& b) { AppendBrakingRow(log, 0, b, &brakings); },
            reader.columns());
        reader.Add(summary);
        Output out;
        EXPECT_TRUE(out.Open(dir + "/rows.csv", &err)) << err;
        ExportRequest request;
        request.stretch = StretchChoice{3, std::nullopt, 20.0};
        ExportRows rows(request, {ColumnChannel(2), Channel{0, Derived::kTractionEnergy}}, {&out},
                        reader.columns());
        reader.Add(rows);
        EXPECT_TRUE(reader.Start(false, &err)) << err;
        rows.Flush();
        EXPECT_TRUE(out.Finish(&err) && out.Commit(&err)) << err;
        AppendSummaryRow(log, summary.Finish(), &all);
        all += brakings + ReadFile(dir + "/rows.csv");
    }
    return all;
}
}  // namespace

TEST(ReadAhead, GivesTheLinesOfReadingInPlaceWhereverTheChunksEnd) {
    ScratchDir dir;
    const std::string odd = dir.File("odd.dat"), whole = dir.File("whole.dat");
    WriteFile(odd, OddLog());
    WriteFile(whole, OddLog() + "\n");
    for (const std::string& log : {odd, whole}) {
        const std::string expected = Lines(log, std::nullopt);
        ASSERT_NE(expected.find("last="), std::string::npos);
        // Chunks from the smallest on, their ends moving across a line a few bytes at a time.
        for (std::size_t chunk = 2 * kHeaderSize; chunk < 1400; chunk += 13)
            for (unsigned workers : {2u, 3u})
                ASSERT_EQ(Lines(log, std::make_pair(workers, chunk), chunk % 5 == 0), expected)
                    << "chunk " << chunk << ", " << workers << " workers";
    }
}

class ReadInParts : public PlovoTest {};

TEST_F(ReadInParts, EveryOutputIsTheSameWhereverThePartsEnd) {
    const std::string log = work.File("brakings.dat");
    WriteFile(log, BrakingLog());
    const std::string expected = Outputs(log, work.path, std::nullopt);
    ASSERT_NE(expected.find("true"), std::string::npos);   // a braking stopped
    ASSERT_NE(expected.find("false"), std::string::npos);  // one did not
    for (std::size_t chunk = 2 * kHeaderSize; chunk < 2 * kHeaderSize + 236; chunk += 29)
        for (unsigned workers : {2u, 4u})
            ASSERT_EQ(Outputs(log, work.path, std::make_pair(workers, chunk)), expected)
                << "chunk " << chunk << ", " << workers << " workers";
}

TEST_F(ReadInParts, AFollowedLogLeavesItsUnfinishedLineForLater) {
    const std::string log = work.File("growing.dat");
    std::string lines;
    for (int i = 0; i < 30; ++i) lines += Row(std::to_string(i));
    WriteFile(log, Header() + lines + Row("30").substr(0, 30));
    LogExtraction extraction(log, {ColumnChannel(2)});
    extraction.reader().UseWorkers(2, 2 * kHeaderSize);
    std::string err;
    ASSERT_TRUE(extraction.Start(true, &err)) << err;
    EXPECT_EQ(extraction.records(), 30);
    AppendFile(log, Row("30").substr(30) + Row("31"));
    extraction.Follow(std::chrono::steady_clock::now() + std::chrono::seconds(5), &err);
    ASSERT_EQ(extraction.records(), 32);
    EXPECT_EQ(ReadFile(extraction.path(0)).substr(30 * kRecordSize), Padded("30") + Padded("31"));
}
