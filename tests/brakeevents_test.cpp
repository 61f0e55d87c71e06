// The brake applications of a pass: where each starts and stops, its number as the brakings table
// has it, and the records its figure spans.
#include "brakeevents.h"

#include "test_util.h"

namespace {
// Runs BrakeEvents over a log of (time, velocity, brake cylinder pressure) lines.
std::vector<BrakePlace> Places(const std::string& path,
                               const std::vector<std::array<const char*, 3>>& lines,
                               const std::function<void(BrakeEvents&)>& ask) {
    std::string log = Header();
    for (const auto& [t, v, p] : lines) log += Line({t, v, "0", "0", "0", "0", "0", "0", p});
    WriteFile(path, log);
    LogReader reader(path);
    BrakeEvents events(BrakingRule{0.05, 0.1}, reader.columns());
    reader.Add(events);
    ask(events);
    std::string error;
    EXPECT_TRUE(reader.Start(false, &error)) << error;
    events.Finish();
    return events.places();
}
}  // namespace

TEST(BrakeEvents, ApplicationsStopsAndTheRecordsTheirFiguresSpan) {
    ScratchDir dir;
    // Braking 1 from record 3 (2 s) to its stop at record 4, released at record 6; time falls
    // back at record 8; braking 2 from record 9 to the end, not stopped.
    const std::vector<std::array<const char*, 3>> lines = {
        {"0", "10", "0"},  {"1", "10", "0"},  {"2", "8", "0.1"}, {"3", "0", "0.2"},
        {"4", "0", "0.2"}, {"5", "0", "0"},   {"6", "5", "0"},   {"2", "5", "0"},
        {"3", "5", "0.3"}, {"4", "5", "0.3"}, {"5", "5", "0.3"}};
    std::vector<BrakePlace> places =
        Places(dir.File("run.dat"), lines, [](BrakeEvents& events) { events.FigureSpans(1.5, 1); });
    ASSERT_EQ(places.size(), 2u);
    const BrakePlace& first = places[0];
    EXPECT_EQ(first.number, 1);
    EXPECT_EQ(first.startRecord, 3);
    EXPECT_EQ(first.startTime, 2);
    EXPECT_TRUE(first.stopped);
    EXPECT_EQ(first.stopRecord, 4);
    EXPECT_EQ(first.endRecord, 5);
    EXPECT_EQ(first.endTime, 4);
    // From 0.5 s (record 2) to 1 s after the stop: record 5 at 4 s, the last not past it.
    EXPECT_EQ(first.figure.first, 2);
    EXPECT_EQ(first.figure.last, 5);
    const BrakePlace& second = places[1];
    EXPECT_EQ(second.number, 2);
    EXPECT_EQ(second.startRecord, 9);
    EXPECT_FALSE(second.stopped);
    EXPECT_EQ(second.endRecord, 11);
    // Not back past the time's fall at record 8; to the log's end.
    EXPECT_EQ(second.figure.first, 8);
    EXPECT_EQ(second.figure.last, 11);

    // Without the figures, no time is read: the records say where the applications are.
    places = Places(dir.File("run.dat"), lines, [](BrakeEvents& events) { events.ReadWholeLog(); });
    ASSERT_EQ(places.size(), 2u);
    EXPECT_EQ(places[0].stopRecord, 4);
    EXPECT_EQ(places[1].startRecord, 9);
    EXPECT_TRUE(std::isnan(places[1].startTime));
}
