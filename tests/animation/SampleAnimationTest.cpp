// The clock and the time-driven state on the generated sample run, loaded
// as the 3-D host loads it.

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "AnimationFixtures.h"
#include "SampleDatabase.h"
#include "batchplant/db/Dao.h"

namespace batchplant::test {
namespace {

class SampleAnimationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        database.Open(CString(SampleDatabasePath().string()), false, true);
        f.ReadVisioDatabase(&database);
        ASSERT_GT(f.GetNumConnectingStreams(), 0);
    }

    // The operation times of the vessels and the connecting streams.
    std::set<long> operationTimes() const
    {
        std::set<long> times;
        auto add = [&](const CProcedure* p) {
            const Array<long> list = p->GetTimeList();
            for (int i = 0; i < list.GetSize(); ++i)
                times.insert(list[i]);
        };
        for (int i = 0; i < f.GetNumVessels(); ++i)
            add(f.GetVesselByIndex(i)->GetProc());
        for (int i = 0; i < f.GetNumConnectingStreams(); ++i)
            add(f.GetStreamByIndex(i)->GetProc());
        return times;
    }

    std::vector<Stream*> allStreams() const
    {
        std::vector<Stream*> out;
        for (int i = 0; i < f.GetNumConnectingStreams() + f.GetNumUniStreams(); ++i)
            out.push_back(i < f.GetNumConnectingStreams() ? f.GetStreamByIndex(i)
                                                          : f.GetUniStreamByIndex(i - f.GetNumConnectingStreams()));
        for (int i = 0; i < f.GetNumUtilStreams() + f.GetNumVaporStreams(); ++i)
            out.push_back(i < f.GetNumUtilStreams() ? f.GetUtilStreamByIndex(i)
                                                    : f.GetVaporStreamByIndex(i - f.GetNumUtilStreams()));
        return out;
    }

    MessageRecorder messages;
    CDaoDatabase database;
    AnimFacility f;
};

TEST_F(SampleAnimationTest, PlayingTheRunVisitsEveryOperationTimeInOrder)
{
    const std::set<long> expected = operationTimes();
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
}

TEST_F(SampleAnimationTest, EveryVesselAndStreamHasFiniteStateThroughoutTheRun)
{
    f.InitAnim();
    const std::set<long> times = operationTimes();
    int activeSeen = 0, flowingSeen = 0, heatingSeen = 0;
    int step = 0;
    for (long t : times) {
        // Every operation time and the middle of the interval after it.
        const long next = (std::next(times.find(t)) == times.end()) ? t + 1 : *std::next(times.find(t));
        for (long at : {t, t + (next - t) / 2}) {
            f.SetAnimationTime(at);
            for (int i = 0; i < f.GetNumVessels(); ++i) {
                auto* v = static_cast<AnimVessel*>(f.GetVesselByIndex(i));
                v->set_conts_color();
                ASSERT_TRUE(v->GetVolume() >= 0.0 && v->GetVolume() <= 1.0 && std::isfinite(v->GetOverflowLevel()))
                    << v->GetName().str() << " at " << at;
                activeSeen += v->IsActive();
                heatingSeen += v->IsHeating();
                if (v->IsInventory()) {
                    int anyFlowing = 0;
                    for (int k = 0; k < v->GetNumStreams(); ++k)
                        anyFlowing |= v->GetStreamByIndex(k)->IsInUse();
                    EXPECT_EQ(v->IsActive(), anyFlowing) << v->GetName().str() << " at " << at;
                }
            }
            for (Stream* s : allStreams()) {
                auto* shown = static_cast<AnimStream*>(s);
                // Move the slug a little as the host would, then place it.
                if (s->IsInUse()) s->SetFlow(-1.0 + 0.25 * (step % 13), 0.4);
                shown->setflow();
                ASSERT_TRUE(std::isfinite(s->GetPathLength()) && std::isfinite(s->GetSegmentStart()) &&
                            s->GetSegmentStart() <= s->GetSegmentEnd() + 1e-9);
                flowingSeen += s->IsInUse();
                EXPECT_TRUE(!s->IsInUse() || !s->GetCurrentOp().IsEmpty());
            }
            ++step;
        }
    }
    EXPECT_GT(activeSeen, 0);
    EXPECT_GT(flowingSeen, 0);
    EXPECT_GT(heatingSeen, 0);
    EXPECT_TRUE(messages.texts().empty());
}

} // namespace
} // namespace batchplant::test
