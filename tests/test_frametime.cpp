#include "frametime.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameTime, ShortFramesSleepToTheFloorAndCountAsThreeMilliseconds)
{
    u32 delay = 99;
    EXPECT_FLOAT_EQ(frame_time_step(1001, 1000, &delay), 0.003f);
    EXPECT_EQ(delay, 2u);
    EXPECT_FLOAT_EQ(frame_time_step(1000, 1000, &delay), 0.003f);
    EXPECT_EQ(delay, 3u);
    EXPECT_FLOAT_EQ(frame_time_step(1003, 1000, &delay), 0.003f);
    EXPECT_EQ(delay, 0u);
    EXPECT_FLOAT_EQ(frame_time_step(1250, 1000, &delay), 0.25f);
    EXPECT_EQ(delay, 0u);
}

TEST(FrameTime, AWrappedCounterIsAZeroFrameAndTheFirstFrameHasNoUpperBound)
{
    u32 delay = 0;
    EXPECT_FLOAT_EQ(frame_time_step(5, 0xFFFFFFF0u, &delay), 0.003f);
    EXPECT_EQ(delay, 3u);
    EXPECT_FLOAT_EQ(frame_time_step(70000, 0, &delay), 70.0f);
}

TEST(FrameTime, TheRateIsReportedEveryFiveSecondsKeepingTheRemainder)
{
    FpsCounter c = {0, 0};
    float fps = -1;
    int reports = 0;
    // Steps that binary floats hold exactly. 12 frames of 0.25 s = 3 s: nothing yet.
    for (int i = 0; i < 12; i++)
        reports += fps_count_frame(&c, 0.25f, &fps);
    EXPECT_EQ(reports, 0);
    // Three frames of 0.75 s: the report comes with the frame that passes 5 s (5.25 s).
    for (int i = 0; i < 3; i++)
        reports += fps_count_frame(&c, 0.75f, &fps);
    EXPECT_EQ(reports, 1);
    EXPECT_FLOAT_EQ(fps, 15 / 5.25f);
    EXPECT_FLOAT_EQ(c.second_counter, 0.25f) << "the quarter second beyond 5 s is kept";
    EXPECT_EQ(c.frame_counter, 0u);
    // With the remainder, 19 more quarter seconds complete the next interval exactly.
    for (int i = 0; i < 18; i++)
        reports += fps_count_frame(&c, 0.25f, &fps);
    EXPECT_EQ(reports, 1);
    reports += fps_count_frame(&c, 0.25f, &fps);
    EXPECT_EQ(reports, 2);
    EXPECT_FLOAT_EQ(fps, 19 / 5.0f);
}

TEST(FrameTime, TimeAwayIsNeverAFrameAndTheClockGoesOnFromItsLastReading)
{
    AwayClock clock = {0, 0, false};
    u32 delay = 0;
    EXPECT_EQ(away_clock_read(&clock, 1000), 1000u);
    EXPECT_EQ(away_clock_read(&clock, 1016), 1016u);
    // A minute away; the first frame back is a floor frame, later ones run at the ticks' pace.
    away_clock_note_away(&clock);
    u32 back = away_clock_read(&clock, 61016);
    EXPECT_EQ(back, 1016u);
    EXPECT_FLOAT_EQ(frame_time_step(back, 1016, &delay), 0.003f);
    EXPECT_EQ(away_clock_read(&clock, 61036), 1036u);
    EXPECT_FLOAT_EQ(frame_time_step(1036, back, &delay), 0.02f);
    // Away again across the tick counter's wrap: the offsets add up modulo 2^32.
    away_clock_note_away(&clock);
    EXPECT_EQ(away_clock_read(&clock, 0xFFFFFFF0u), 1036u);
    away_clock_note_away(&clock);
    EXPECT_EQ(away_clock_read(&clock, 100), 1036u);
    EXPECT_EQ(away_clock_read(&clock, 110), 1046u);
    // Notes of being away with no reading between them count once.
    away_clock_note_away(&clock);
    away_clock_note_away(&clock);
    EXPECT_EQ(away_clock_read(&clock, 5000), 1046u);
}

}  // namespace
