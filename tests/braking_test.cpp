// The brake-application rule on hand-made records, as the brakings table writes them.
#include "braking.h"

#include <cmath>

#include "summary.h"
#include "test_util.h"

namespace {
const double kNan = std::nan("");
const double kInf = INFINITY;

// A record as the test gives it; the run's distance is taken as 100 m a second.
struct Given {
    double time, velocity, acceleration, pressure;
};

// The brakings table's rows (log "x") of a run of (time, velocity, acceleration, pressure).
std::string Brakings(const std::vector<Given>& records) {
    std::string rows;
    std::int64_t number = 0;
    BrakingFinder finder(BrakingRule{0.05, 0.1}, [&](const Braking& braking) {
        AppendBrakingRow("x", ++number, braking, &rows);
    });
    for (Given given : records) {
        BrakeRecord record = {given.time, given.velocity, given.acceleration, given.pressure,
                              100 * given.time};
        // As the summary reads it: no acceleration outside an application's reach.
        if (!finder.Reaches(record.pressure)) record.acceleration = kNan;
        finder.Next(record);
    }
    finder.Finish();
    return rows;
}
}  // namespace

TEST(Braking, ApplicationsStartAndEndOnFinitePressures) {
    // log, braking, start_s, start_speed, end_s, stopped, stop_s, time_to_stop, distance,
    // mean_deceleration, max_deceleration, its time, max_pressure, start and stop distance
    const std::vector<std::pair<std::vector<Given>, std::string>> table = {
        // A rise and a fall: it ends at the record before the pressure drops, without a stop.
        {{{0, 10, 0, 0}, {1, 8, -2, 0.1}, {2, 6, -2.5, 0.2}, {3, 5, -1, 0.04}, {4, 5, 0, 0}},
         "x,1,1,8,2,false,,,7,2,2.5,2,0.2,100,\n"},
        // A NaN inside goes on with it; after a release a NaN starts nothing, and the next
        // application runs to the end of the log, one record long: equal times, no mean.
        {{{0, 10, -1, 0.1},
          {1, 9, -1, kNan},
          {2, 8, -3, 0.1},
          {3, 7, -1, 0.01},
          {4, 7, 0, kNan},
          {5, 6, -0.5, 0.06}},
         "x,1,0,10,2,false,,,18,1,3,2,0.1,0,\nx,2,5,6,5,false,,,0,,0.5,5,0.06,500,\n"},
        // Exactly brake_on applies, just below releases; the stop at exactly stop_speed ends
        // the distance and the decelerations, not the highest pressure.
        {{{0, 1, -1, 0.05},
          {1, 0.5, -2, 0.3},
          {2, 0.1, -1, 0.2},
          {3, 0, -9, 0.4},
          {4, 0, 0, 0.0499}},
         "x,1,0,1,3,true,2,2,1.05,0.45,2,1,0.4,0,200\n"},
        // Neither NaN nor infinity starts one; no finite acceleration leaves its fields empty.
        {{{0, 5, kNan, kNan}, {1, 5, kNan, kInf}, {2, 5, kNan, 0.02}, {3, 5, kNan, 0.07}},
         "x,1,3,5,3,false,,,0,,,,0.07,300,\n"},
        // Applied while standing: stopped at its first record, a time to stop of 0.
        {{{0, 0, 0, 0.3}}, "x,1,0,0,0,true,0,0,0,,0,0,0.3,0,0\n"},
        // A pressure that was on before the NaN stays one application; a time going back still
        // gives the mean, over a negative time.
        {{{3, 4, -1, 0.2}, {2, 2, -1, kNan}, {1, 1, -1, 0.2}},
         "x,1,3,4,1,false,,,0,-1.5,1,3,0.2,300,\n"},
        {{}, ""}};
    for (const auto& [records, rows] : table) EXPECT_EQ(Brakings(records), rows) << rows;
}
