#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "sound/LResampleFilter.h"

namespace {

struct DesignCase
{
    int32_t in;
    int32_t out;
    int phases;
    int step;
    double fc;
};

// Down: fc = out / in - 0.046875; up: 0.975. The phase count is the first that
// brings step / phases within 0.001 of in / out.
const DesignCase designCases[] = {
    {44100, 22050, 1, 2, 0.453125},
    {22050, 44100, 2, 1, 0.975},
    {44100, 48000, 37, 34, 0.975},
    {48000, 44100, 34, 37, 44100.0 / 48000 - 0.046875},
    {44100, 8000, 39, 215, 8000.0 / 44100 - 0.046875},
    {8000, 44100, 11, 2, 0.975},
    {44100, 11025, 1, 4, 0.203125},
    {11025, 44100, 4, 1, 0.975},
    {48000, 22050, 17, 37, 22050.0 / 48000 - 0.046875},
    {44100, 32000, 37, 51, 32000.0 / 44100 - 0.046875},
};

TEST(LResampleFilter, PhasesStepAndCutOffOfEachRatePair)
{
    for (const DesignCase& c : designCases)
    {
        SCOPED_TRACE(testing::Message() << c.in << " -> " << c.out);
        const LResampleFilter filter(c.out, c.in);
        EXPECT_EQ(c.phases, filter.phases);
        EXPECT_EQ(c.step, filter.step);
        EXPECT_DOUBLE_EQ(c.fc, filter.fc);
        EXPECT_DOUBLE_EQ(c.in < c.out ? 2.12 : 4.538, filter.beta);
        EXPECT_LT(std::fabs(double(c.in) / c.out - double(filter.step) / filter.phases), 0.001);
    }
}

TEST(LResampleFilter, CentreTapIsTheCutOffRoundedAndTheRowsMirrorEachOther)
{
    for (const DesignCase& c : designCases)
    {
        SCOPED_TRACE(testing::Message() << c.in << " -> " << c.out);
        const LResampleFilter filter(c.out, c.in);
        EXPECT_EQ(int32_t(std::trunc(filter.fc * 65536 + 0.5)), filter.Row(0)[7]);
        for (int k = 0; k < RESAMPLE_TAPS; ++k)
            EXPECT_EQ(filter.Row(0)[k], filter.Row(0)[14 - k]) << "tap " << k;
        // Phase j sits j / phases after tap 7, phase phases - j as far before tap 8.
        for (int j = 1; j < filter.phases; ++j)
            for (int k = 1; k < RESAMPLE_TAPS; ++k)
                EXPECT_EQ(filter.Row(j)[k], filter.Row(filter.phases - j)[15 - k]) << "phase " << j << " tap " << k;
        // Every row passes a constant at about unity (the 15 taps cut the
        // narrow 8000 Hz filter's gain to 0.9).
        for (int j = 0; j < filter.phases; ++j)
        {
            int32_t sum = 0;
            for (int k = 0; k < RESAMPLE_TAPS; ++k)
                sum += filter.Row(j)[k];
            EXPECT_NEAR(65536, sum, c.out == 8000 ? 6500 : 1000) << "phase " << j;
        }
    }
}

// The table is made only for a step of 1 to 16 input frames an output frame,
// before any design: 3000 / 64000 would be a cut-off of exactly zero.
TEST(LResampleFilter, OnlyPairsOfAStepTheConverterTakesGetATable)
{
    struct
    {
        int32_t in, out;
        bool table;
    } cases[] = {
        {64000, 3000, false},
        {128000, 6000, false},
        {192000, 8000, false},
        {100, 192000, false},
        {INT32_MAX, 1, false},
        {1, INT32_MAX, false},
        {128000, 8000, true},
        {8000, 192000, true},
        {44100, 48000, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.in << " -> " << c.out);
        const LResampleFilter filter(c.out, c.in);
        EXPECT_EQ(c.table, filter.HasTable());
        if (c.table)
        {
            EXPECT_GT(filter.fc, 0);
        }
    }
}

// Rows computed apart from the converter, from the formula: fc * 65536 * sinc
// * the Kaiser window over I0 with seven terms, rounded half away from zero.
TEST(LResampleFilter, RowsFollowTheWindowedSinc)
{
    const int32_t halfRate[RESAMPLE_TAPS] = {
        -222, 727, 1308, -1706, -4703, 2668, 19998, 29696, 19998, 2668, -4703, -1706, 1308, 727, -222};
    const int32_t doubleRateOddPhase[RESAMPLE_TAPS] = {
        -1063, 1602, -2341, 3380, -4940, 7591, -13445, 41566, 41566, -13445, 7591, -4940, 3380, -2341, 1602};
    const int32_t to48000Phase18[RESAMPLE_TAPS] = {
        -1038, 1571, -2304, 3341, -4903, 7569, -13496, 42621, 40496, -13372, 7600, -4968, 3413, -2373, 1630};
    const int32_t to8000Phase0[RESAMPLE_TAPS] = {
        79, 535, 1512, 3048, 4966, 6875, 8292, 8817, 8292, 6875, 4966, 3048, 1512, 535, 79};
    struct
    {
        int32_t in, out;
        int phase;
        const int32_t* row;
    } cases[] = {
        {44100, 22050, 0, halfRate},
        {22050, 44100, 1, doubleRateOddPhase},
        {44100, 48000, 18, to48000Phase18},
        {44100, 8000, 0, to8000Phase0},
    };
    for (const auto& c : cases)
    {
        const LResampleFilter filter(c.out, c.in);
        for (int k = 0; k < RESAMPLE_TAPS; ++k)
            EXPECT_EQ(c.row[k], filter.Row(c.phase)[k]) << c.in << " -> " << c.out << " tap " << k;
    }
}

} // namespace
