// The clock on the generated sample run, loaded as the 3-D host loads it.

#include <gtest/gtest.h>

#include <set>

#include "AnimationFixtures.h"
#include "SampleDatabase.h"
#include "batchplant/db/Dao.h"

namespace batchplant::test {
namespace {

TEST(SampleAnimationTest, PlayingTheRunVisitsEveryOperationTimeInOrder)
{
    MessageRecorder messages;
    CDaoDatabase database;
    database.Open(CString(SampleDatabasePath().string()), false, true);
    AnimFacility f;
    f.ReadVisioDatabase(&database);
    ASSERT_GT(f.GetNumConnectingStreams(), 0);
    // The operation times of the vessels and the connecting streams.
    std::set<long> expected;
    for (int i = 0; i < f.GetNumVessels() + f.GetNumConnectingStreams(); ++i) {
        const Array<long> list = (i < f.GetNumVessels() ? f.GetVesselByIndex(i)->GetProc()
                                                        : f.GetStreamByIndex(i - f.GetNumVessels())->GetProc())
                                     ->GetTimeList();
        for (int k = 0; k < list.GetSize(); ++k)
            expected.insert(list[k]);
    }
    ASSERT_GE(expected.size(), 3u);
    f.InitAnim(Facility::Forward);
    const AnimTimeline* clock = f.Timeline();
    ASSERT_EQ(clock->GetNumPoints(), static_cast<int>(expected.size()));
    EXPECT_EQ(clock->GetLastTime(), *expected.rbegin());

    f.SetAnimationTime(*expected.begin());
    std::set<long> visited{*expected.begin()};
    long previous = *expected.begin();
    const long maxSteps = static_cast<long>(expected.size()) * (f.GetFramesPerOp() + 1) + 10;
    long steps = 0;
    for (; !f.AnimBoundaryReached() && steps < maxSteps; ++steps) {
        int time = 0, last = 0;
        const int onPoint = f.Animate(time, last);
        EXPECT_EQ(last, *expected.rbegin());
        ASSERT_GE(time, previous) << "step " << steps;
        if (onPoint) {
            EXPECT_EQ(expected.count(time), 1u) << time;
            visited.insert(time);
        }
        previous = time;
    }
    EXPECT_LT(steps, maxSteps);
    EXPECT_EQ(previous, *expected.rbegin());
    EXPECT_EQ(visited, expected);
    EXPECT_TRUE(messages.texts().empty());
}

} // namespace
} // namespace batchplant::test
