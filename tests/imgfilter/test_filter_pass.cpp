// One process pass of the node image filter over a frame: where each pixel is
// presented to the network, what reaches the output image, progress and
// abort, and the order in which the network's render state opens and closes.
#include "harness.h"

#include <minihost/scene.h>

#include <bit>
#include <cmath>
#include <limits>

namespace {

using harness::Frame;

class FilterPass : public harness::ModuleTest {
  protected:
    minihost::ImageFilter filter;
    fake::Editor& editor = graph.lastEditor();
    fake::Input& color = graph.rootInput(editor, "Color");
    fake::Input& alpha = graph.rootInput(editor, "Alpha");
};

struct Seen {
    int32_t x, y;
    double p[3], p2[3];
};

TEST_F(FilterPass, EveryPixelIsPresentedOnceInRowOrderAtItsNormalisedPosition) {
    for (auto [w, h] : {std::pair{4, 2}, {1, 1}, {3, 5}, {7, 20}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        Frame frame(w, h);
        std::vector<Seen> seen;
        color.connected = true;
        color.value = [&](NodalSample& s, double*) {
            seen.push_back({s.pixelX, s.pixelY, {}, {}});
            std::copy(s.position, s.position + 3, seen.back().p);
            std::copy(s.position2, s.position2 + 3, seen.back().p2);
        };
        filter.process(frame.access());
        ASSERT_EQ(seen.size(), std::size_t(w * h));
        for (int32_t y = 0, i = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x, ++i) {
                const Seen& s = seen[i];
                EXPECT_EQ(s.x, x);
                EXPECT_EQ(s.y, y);
                const double nx = (double(x) / w) * 2 - 1, ny = (double(y) / h) * 2 - 1;
                EXPECT_EQ(s.p[0], nx);
                EXPECT_EQ(s.p[1], ny);
                EXPECT_EQ(s.p[2], 0.0);
                EXPECT_EQ(s.p2[0], nx);
                EXPECT_EQ(s.p2[1], ny);
                EXPECT_EQ(s.p2[2], 0.0);
                EXPECT_LT(s.p[0], 1.0);
            }
        }
        if (w == 4 && h == 2) {
            EXPECT_EQ(seen[1].p[0], -0.5);
            EXPECT_EQ(seen[3].p[0], 0.5);
            EXPECT_EQ(seen[4].p[1], 0.0);
        }
        if (w == 1) {
            EXPECT_EQ(seen[0].p[0], -1.0);
        }
    }
}

TEST_F(FilterPass, SampleShowsAFlatPlaneFacingTheViewer) {
    Frame frame(2, 2);
    NodalSample copy{};
    color.connected = true;
    color.value = [&](NodalSample& s, double*) { copy = s; };
    filter.process(frame.access());
    for (const double* d : {copy.direction, copy.direction2, copy.direction3}) {
        EXPECT_EQ(d[0], 0.0);
        EXPECT_EQ(d[1], 0.0);
        EXPECT_EQ(d[2], -1.0);
    }
    EXPECT_EQ(copy.eyePosition[0], 0.0);
    EXPECT_EQ(copy.eyeDistance, 1.0);
    EXPECT_EQ(copy.constant1, 0.001);
    EXPECT_EQ(copy.constant2, 1.0);
    EXPECT_EQ(copy.constant3, 0.0);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(copy.matrix1[i], i % 4 == 0 ? 1.0 : 0.0);
        EXPECT_EQ(copy.matrix2[i], i % 4 == 0 ? 1.0 : 0.0);
    }
    EXPECT_EQ(copy.rayFunc1, nullptr);
    EXPECT_EQ(copy.pixelFilter, 0);
    EXPECT_EQ(copy.cameraItem, nullptr);
}

TEST_F(FilterPass, NothingConnectedCopiesTheRenderedImageBitForBit) {
    const float odd[] = {std::bit_cast<float>(0x7fc01234u), // NaN with a payload
                         -0.0f,
                         std::numeric_limits<float>::denorm_min(),
                         std::numeric_limits<float>::infinity(),
                         1.0f / 3.0f,
                         -1e30f};
    Frame frame(6, 3);
    for (int32_t c = 0; c < 4; ++c)
        frame.fill(BUFFER_RED + c, [&](int32_t x, int32_t y) { return odd[(x + y + c) % 6]; });
    filter.process(frame.access());
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 6; ++x) {
            for (int32_t c = 0; c < 3; ++c)
                EXPECT_EQ(std::bit_cast<uint32_t>(frame.rgb(x, y)[c]),
                          std::bit_cast<uint32_t>(frame.buffer(BUFFER_RED + c, x, y)));
            EXPECT_EQ(std::bit_cast<uint32_t>(frame.alpha(x, y)),
                      std::bit_cast<uint32_t>(frame.buffer(BUFFER_ALPHA, x, y)));
            EXPECT_EQ(frame.rgbWrites(x, y), 1);
            EXPECT_EQ(frame.alphaWrites(x, y), 1);
        }
    }
    // Connected is asked of both inputs at every pixel; nothing is evaluated.
    EXPECT_EQ(graph.connectedCalls, 2 * 6 * 3);
    EXPECT_EQ(color.evaluations + alpha.evaluations, 0);
}

TEST_F(FilterPass, EvaluatedValuesAreWrittenWithoutClampingAndOnlyTheFirstDoubleIsAlpha) {
    Frame frame(3, 2);
    frame.fillFinalImage();
    color.connected = true;
    color.value = [](NodalSample&, double* out) {
        out[0] = 1.5;
        out[1] = -0.25;
        out[2] = 2.0;
    };
    alpha.connected = true;
    alpha.value = [](NodalSample& s, double* out) {
        out[0] = -3.5 + s.pixelX;
        out[1] = 99.0;
    };
    filter.process(frame.access());
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 3; ++x) {
            EXPECT_EQ(frame.rgb(x, y)[0], 1.5f);
            EXPECT_EQ(frame.rgb(x, y)[1], -0.25f);
            EXPECT_EQ(frame.rgb(x, y)[2], 2.0f);
            EXPECT_EQ(frame.alpha(x, y), float(-3.5 + x));
        }
    }
    // Doubles are narrowed to the nearest float.
    color.value = [](NodalSample&, double* out) { out[0] = out[1] = out[2] = 0.1; };
    filter.process(frame.access());
    EXPECT_EQ(frame.rgb(0, 0)[0], 0.1f);
}

TEST_F(FilterPass, OneInputConnectedLeavesTheOtherPassingThrough) {
    Frame frame(2, 2);
    frame.fillFinalImage();
    alpha.connected = true;
    alpha.value = [](NodalSample&, double* out) { out[0] = 0.25; };
    filter.process(frame.access());
    EXPECT_EQ(frame.rgb(1, 1)[2], frame.buffer(BUFFER_BLUE, 1, 1));
    EXPECT_EQ(frame.alpha(1, 1), 0.25f);
    EXPECT_EQ(color.evaluations, 0);
}

TEST_F(FilterPass, ProgressStepsFollowEveryEighthRowAndMatchTheAnnouncedTotal) {
    {
        Frame frame(2, 20);
        std::vector<std::size_t> stepsSeenAtRow(20);
        alpha.connected = true;
        alpha.value = [&](NodalSample& s, double*) {
            stepsSeenAtRow[s.pixelY] = frame.monitorLog.size() - 1; // minus init
        };
        filter.process(frame.access());
        EXPECT_EQ(frame.monitorLog, (std::vector<std::string>{"monitorInit 2", "monitorStep 1",
                                                              "monitorStep 1", "monitorDone"}));
        EXPECT_EQ(stepsSeenAtRow[7], 0u);
        EXPECT_EQ(stepsSeenAtRow[8], 1u);
        EXPECT_EQ(stepsSeenAtRow[15], 1u);
        EXPECT_EQ(stepsSeenAtRow[16], 2u);
        alpha.connected = false;
        alpha.value = nullptr;
    }
    for (int32_t height : {5, 0}) {
        SCOPED_TRACE(height);
        Frame frame(3, height);
        graph.log.clear();
        filter.process(frame.access());
        EXPECT_EQ(frame.monitorLog, (std::vector<std::string>{"monitorInit 0", "monitorDone"}));
        EXPECT_EQ(graph.log.back(), "cleanup");
    }
    // Without a monitor the pass runs the same, with nothing to report to.
    Frame frame(2, 9);
    frame.fillFinalImage();
    filter.process(frame.accessWithoutMonitor());
    EXPECT_TRUE(frame.monitorLog.empty());
    EXPECT_EQ(frame.alphaWrites(1, 8), 1);
}

TEST_F(FilterPass, AbortEndsThePassAfterTheRowButStillClosesTheNetwork) {
    Frame frame(3, 24);
    frame.fillFinalImage();
    frame.abortOnStep = 1;
    graph.log.clear();
    filter.process(frame.access());
    for (int32_t y = 0; y < 24; ++y)
        EXPECT_EQ(frame.rgbWrites(2, y), y <= 7 ? 1 : 0) << "row " << y;
    EXPECT_EQ(frame.monitorLog, (std::vector<std::string>{"monitorInit 3", "monitorStep 1"}));
    // Cleanup makes the nodes forget the access record that is about to die.
    EXPECT_EQ(graph.log.back(), "cleanup");
}

TEST_F(FilterPass, RenderStateOpensBeforeTheHandOverAndClosesAfterTheLastRow) {
    Frame frame(2, 8);
    host.scene().setTime(12, 0.5);
    struct Probe {
        const FilterAccess* expected;
        bool zeroWord = false;
    } probe{&frame.access()};
    auto listener = [](void* data, void*, int32_t event, void* payload) -> int32_t {
        auto* p = static_cast<Probe*>(data);
        if (event == RING_FILTER_ACCESS) {
            auto* m = static_cast<AccessMessage*>(payload);
            fake::Graph::current().log.push_back(m->access == p->expected ? "handOver"
                                                 : m->access == nullptr   ? "forget"
                                                                          : "handOver?");
            p->zeroWord = m->zero == nullptr;
        }
        return 0;
    };
    host.ring().attach(RING_TOPIC_IMAGE, &probe, listener);
    graph.log.clear();
    filter.process(frame.access());
    host.ring().detach(RING_TOPIC_IMAGE, &probe);
    EXPECT_EQ(graph.log, (std::vector<std::string>{"init 1", "newTime 12 0.500000", "handOver",
                                                   "monitorInit 1", "monitorStep 1", "monitorDone",
                                                   "cleanup", "forget"}));
    EXPECT_TRUE(probe.zeroWord);
}

TEST_F(FilterPass, TimeIsLookedUpAtEveryPassAndAMissingServiceMeansFrameZero) {
    Frame frame(1, 1);
    host.scene().setTime(3, 0.125);
    filter.process(frame.access());
    host.withhold(SERVICE_TIME_INFO);
    filter.process(frame.access());
    host.restore(SERVICE_TIME_INFO);
    host.scene().setTime(4, 0.25);
    filter.process(frame.access());
    std::vector<std::string> times;
    for (const std::string& line : graph.log)
        if (line.starts_with("newTime"))
            times.push_back(line);
    EXPECT_EQ(times, (std::vector<std::string>{"newTime 3 0.125000", "newTime 0 0.000000",
                                               "newTime 4 0.250000"}));
}

TEST_F(FilterPass, AMissingSourceRowSkipsOnlyTheValuesThatWouldCopyIt) {
    Frame frame(3, 2);
    frame.fillFinalImage();
    frame.drop(BUFFER_GREEN);
    frame.drop(BUFFER_ALPHA);
    filter.process(frame.access());
    EXPECT_EQ(frame.totalWrites(), 0);
    // All four rows are still asked for on every row.
    EXPECT_EQ(frame.lineRequests, (std::vector<int32_t>{32, 33, 34, 35, 32, 33, 34, 35}));

    // A connected input does not need its rows.
    color.connected = true;
    color.value = [](NodalSample&, double* out) { out[0] = out[1] = out[2] = 0.5; };
    filter.process(frame.access());
    EXPECT_EQ(frame.rgbWrites(2, 1), 1);
    EXPECT_EQ(frame.alphaWrites(2, 1), 0);
}

TEST_F(FilterPass, NullInstanceOrRecordDoesNothing) {
    const ImageFilterHandler& handler = host.imageFilterHandler(SERVER_IMAGE_FILTER);
    Frame frame(2, 2);
    graph.log.clear();
    handler.process(nullptr, &frame.access());
    handler.process(filter.get(), nullptr);
    EXPECT_TRUE(graph.log.empty());
    EXPECT_EQ(frame.totalWrites(), 0);
}

} // namespace
