// The progress bar drawn from a tracker's steps, and Ctrl-C turning into an
// abort answer.
#include <cli/interrupt.h>
#include <cli/progress_bar.h>

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

using namespace tavi;
using namespace std::chrono_literals;

namespace {

// A clock the test moves by hand.
struct FakeClock {
    std::chrono::steady_clock::time_point now{};
    ProgressBar::Clock function() {
        return [this] { return now; };
    }
};

} // namespace

TEST(ProgressBar, RedrawsInPlaceAtMostOncePerIntervalAndEndsItsLine) {
    std::ostringstream out;
    FakeClock clock;
    minihost::ProgressTracker tracker;
    {
        ProgressBar bar(out, true, "frame 1", 100ms, clock.function());
        bar.attach(tracker);
        ProgressMonitor* monitor = tracker.record();
        monitor->init(monitor->data, 4);
        monitor->step(monitor->data, 1); // drawn: the first
        clock.now += 50ms;
        monitor->step(monitor->data, 1); // too soon
        clock.now += 60ms;
        monitor->step(monitor->data, 1); // drawn
        monitor->step(monitor->data, 1); // too soon; finish shows it
        ProgressBar::detach(tracker);
    }
    const std::string text = out.str();
    EXPECT_EQ(text, "\rframe 1 [#######.......................] 25%"
                    "\rframe 1 [######################........] 75%"
                    "\rframe 1 [##############################] 100%\n");
}

TEST(ProgressBar, WithoutATotalCountsStepsAndBlanksLeftovers) {
    std::ostringstream out;
    FakeClock clock;
    ProgressBar bar(out, true, {}, 100ms, clock.function());
    bar.update(12, 0);
    clock.now += 1s;
    bar.update(3, 0);
    bar.finish();
    bar.finish(); // a second finish writes nothing
    EXPECT_EQ(out.str(), "\r12 steps\r3 steps \n");
}

TEST(ProgressBar, DisabledDrawsNothing) {
    std::ostringstream out;
    {
        ProgressBar bar(out, false);
        bar.update(1, 2);
        bar.finish();
    }
    EXPECT_EQ(out.str(), "");
    EXPECT_FALSE(ProgressBar::wantedOnStandardError(true));
}

TEST(InterruptHandler, FirstCtrlCAbortsThePassAndRestoresTheDefaultAction) {
    struct sigaction before {};
    sigaction(SIGINT, nullptr, &before);
    {
        InterruptHandler handler;
        EXPECT_THROW(InterruptHandler(), std::logic_error);
        minihost::ProgressTracker tracker;
        tracker.watchAbortFlag(&InterruptHandler::flag());
        ProgressMonitor* monitor = tracker.record();
        monitor->init(monitor->data, 10);
        EXPECT_EQ(monitor->step(monitor->data, 1), 0);

        std::raise(SIGINT);
        EXPECT_TRUE(InterruptHandler::interrupted());
        EXPECT_NE(monitor->step(monitor->data, 1), 0);
        // The next Ctrl-C would end the program: the default action is back.
        struct sigaction now {};
        sigaction(SIGINT, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_DFL);
    }
    // Leaving puts back what was there, and a new handler starts clear.
    struct sigaction after {};
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    InterruptHandler again;
    EXPECT_FALSE(InterruptHandler::interrupted());
}
