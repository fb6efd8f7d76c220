// The progress monitor record as a filter drives it through its functions.
#include <minihost/render/progress_tracker.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>
#include <vector>

using namespace minihost;

TEST(ProgressTracker, RecordsInitStepsAndDoneAndRestartsOnInit) {
    ProgressTracker tracker;
    ProgressMonitor* m = tracker.record();
    ASSERT_NE(m->init, nullptr);
    EXPECT_FALSE(tracker.initialised());

    m->init(m->data, 3);
    EXPECT_EQ(m->step(m->data, 1), 0);
    EXPECT_EQ(m->step(m->data, 2), 0);
    m->done(m->data);
    EXPECT_TRUE(tracker.initialised());
    EXPECT_EQ(tracker.total(), 3u);
    EXPECT_EQ(tracker.steps(), 3u);
    EXPECT_EQ(tracker.stepCalls(), 2u);
    EXPECT_TRUE(tracker.done());
    EXPECT_FALSE(tracker.aborted());

    m->init(m->data, 5);
    EXPECT_EQ(tracker.total(), 5u);
    EXPECT_EQ(tracker.steps(), 0u);
    EXPECT_FALSE(tracker.done());

    // A record with no data (a corrupted call) is ignored.
    m->init(nullptr, 1);
    EXPECT_EQ(m->step(nullptr, 1), 0);
    m->done(nullptr);
    EXPECT_EQ(tracker.total(), 5u);
}

TEST(ProgressTracker, AbortsFromTheNthStepCallOfEachPass) {
    ProgressTracker tracker;
    tracker.abortFromStep(3);
    ProgressMonitor* m = tracker.record();
    m->init(m->data, 10);
    EXPECT_EQ(m->step(m->data, 1), 0);
    EXPECT_EQ(m->step(m->data, 1), 0);
    EXPECT_FALSE(tracker.aborted());
    EXPECT_NE(m->step(m->data, 1), 0);
    EXPECT_NE(m->step(m->data, 1), 0);
    EXPECT_TRUE(tracker.aborted());

    m->init(m->data, 10); // a new pass counts again
    EXPECT_FALSE(tracker.aborted());
    EXPECT_EQ(m->step(m->data, 1), 0);
}

TEST(ProgressTracker, AbortsWhileTheWatchedFlagIsSet) {
    std::atomic<bool> interrupted{false};
    ProgressTracker tracker;
    tracker.watchAbortFlag(&interrupted);
    ProgressMonitor* m = tracker.record();
    m->init(m->data, 4);
    EXPECT_EQ(m->step(m->data, 1), 0);
    interrupted = true;
    EXPECT_NE(m->step(m->data, 1), 0);
    EXPECT_TRUE(tracker.aborted());
}

TEST(ProgressTracker, CallsBackOnEachStepAndKeepsCallbackFailuresInside) {
    std::vector<std::pair<uint32_t, uint32_t>> seen;
    ProgressTracker tracker;
    tracker.onStep([&](uint32_t steps, uint32_t total) {
        seen.emplace_back(steps, total);
        if (steps == 2)
            throw std::runtime_error("progress bar failed");
    });
    ProgressMonitor* m = tracker.record();
    m->init(m->data, 4);
    EXPECT_EQ(m->step(m->data, 1), 0);
    EXPECT_EQ(m->step(m->data, 1), 0); // the throw stops here
    EXPECT_EQ(m->step(m->data, 2), 0);
    EXPECT_EQ(seen, (std::vector<std::pair<uint32_t, uint32_t>>{{1, 4}, {2, 4}, {4, 4}}));
}
