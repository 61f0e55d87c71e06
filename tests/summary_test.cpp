// A run's rows in the summary and brakings tables: exact numbers, empty fields for what does not
// exist, names as CSV quotes them.
#include "summary.h"

#include "test_util.h"

TEST(SummaryTables, RowsAreExactAndEmptyWhereAValueDoesNotExist) {
    RunFigures none;
    std::string rows;
    AppendSummaryRow("empty, \"1\".dat", none, &rows);
    EXPECT_EQ(rows, "\"empty, \"\"1\"\".dat\",0,,,,,,,,,,,,,0,0,,,,\n");
    RunFigures run;
    run.samples = 3;
    run.startTime = 0.1;
    run.endTime = 0.30000000000000004;
    run.distance = 12.5;
    run.tractionEnergy = 1e-7;
    run.speed.Note(22.0426, 2, 0.2);
    run.couplerForce.Note(-66694, 3, 0.3);
    run.brakings = run.stops = 1;
    run.maxBrakingDistance = 430.25;
    run.maxBrakingDistanceBraking = 1;
    rows.clear();
    AppendSummaryRow("a.dat", run, &rows);
    // No tension above 0 is still the largest force; no motor current at all is empty. The mean
    // speed is over 0.20000000000000004 s, the time span written to the end's 17 decimals.
    EXPECT_EQ(rows,
              "a.dat,3,0.1,0.30000000000000004,22.0426,0.2,12.5,1e-07,-66694,0.3,-66694,0.3,"
              ",,1,1,62.499999999999986,8e-06,430.25,1\n");
    // A computed value past 23 bytes of text is its record's, as in every other output.
    run.distance = -2.4691357802469133e+299;
    EXPECT_EQ(SummaryFields("a.dat", run)[6], "-2.469135780246913e+299");
    EXPECT_EQ(SummaryFields("a.dat", run)[17], "");  // no energy per kilometre run backwards

    Braking braking;
    braking.startTime = 280;
    braking.startSpeed = 22;
    braking.endTime = 320.5;
    braking.reachTime = 320.5;
    braking.reachSpeed = 0.5;
    braking.distance = 430.25;
    braking.maxPressure = 0.38;
    braking.startDistance = 5354.431009999997;
    rows.clear();
    AppendBrakingRow("a.dat", 7, braking, &rows);
    // Not stopped: no stop time, time to stop nor stop distance; no finite acceleration: no
    // deceleration. The mean deceleration is (22 - 0.5) / 40.5 as a double gives it.
    EXPECT_EQ(rows,
              "a.dat,7,280,22,320.5,false,,,430.25,0.5308641975308642,,,0.38,5354.431009999997,"
              "\n");
    // Stopped: the time to stop has the times' one decimal, where the double difference of
    // 317.6 and 281.4 is 36.200000000000045; the mean deceleration keeps every digit.
    braking.startTime = 281.4;
    braking.stopped = true;
    braking.stopTime = braking.reachTime = 317.6;
    braking.stopDistance = 5783.676615;
    EXPECT_EQ(BrakingFields("a.dat", 7, braking),
              (std::vector<std::string>{"a.dat", "7", "281.4", "22", "320.5", "true", "317.6",
                                        "36.2", "430.25", "0.5939226519337009", "", "", "0.38",
                                        "5354.431009999997", "5783.676615"}));
    EXPECT_EQ(SummaryHeader().substr(0, 12), "log,samples,");
    EXPECT_EQ(BrakingsHeader().substr(0, 12), "log,braking,");
}
