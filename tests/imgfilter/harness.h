// Shared test setup: a host with the module loaded and the scripted graph, a
// rendered frame that hands out an image filter access record, and an image
// access node driven one evaluate at a time.
#pragma once

#include "fake_graph.h"
#include "module_file.h"

#include <minihost/filters.h>
#include <minihost/host.h>
#include <minihost/ring.h>
#include <shared/channels.h>
#include <shared/ring.h>
#include <shared/servernames.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace harness {

// A finished frame: float buffers by code, the output image the filter
// writes, and a progress monitor that can report an abort. Its access record
// reaches the frame through one process-wide pointer, as the record's
// functions carry no context.
class Frame {
  public:
    Frame(int32_t width, int32_t height);
    ~Frame();
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    // Creates the buffer with value(x, y) at every pixel.
    void fill(int32_t code, const std::function<float(int32_t x, int32_t y)>& value);
    // Removes one buffer, as a renderer that did not fill it.
    void drop(int32_t code) { buffers_.erase(code); }
    // Fills final colour and alpha (codes 32..35) with distinct values.
    void fillFinalImage();

    const FilterAccess& access() const { return access_; }
    // The record without a progress monitor.
    FilterAccess accessWithoutMonitor() const;

    float buffer(int32_t code, int32_t x, int32_t y) const;
    const float* rgb(int32_t x, int32_t y) const { return &rgb_[index(x, y) * 3]; }
    float alpha(int32_t x, int32_t y) const { return alpha_[index(x, y)]; }
    int rgbWrites(int32_t x, int32_t y) const { return rgbWrites_[index(x, y)]; }
    int alphaWrites(int32_t x, int32_t y) const { return alphaWrites_[index(x, y)]; }
    int totalWrites() const;

    // Monitor step answers non-zero (abort) on this step, counted from 1.
    int abortOnStep = 0;
    // Monitor calls, also appended to the graph's log: "monitorInit 2",
    // "monitorStep 1", "monitorDone".
    std::vector<std::string> monitorLog;
    // Codes asked of get line, in order.
    std::vector<int32_t> lineRequests;

  private:
    std::size_t index(int32_t x, int32_t y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
               static_cast<std::size_t>(x);
    }
    static float* getLine(int32_t code, int32_t row) noexcept;
    static void setRGB(int32_t x, int32_t y, const float rgb[3]) noexcept;
    static void setAlpha(int32_t x, int32_t y, float alpha) noexcept;
    static void monitorInit(void* data, uint32_t total) noexcept;
    static int32_t monitorStep(void* data, uint32_t increment) noexcept;
    static void monitorDone(void* data) noexcept;

    int32_t width_, height_;
    std::map<int32_t, std::vector<float>> buffers_;
    std::vector<float> rgb_, alpha_;
    std::vector<int> rgbWrites_, alphaWrites_;
    int steps_ = 0;
    ProgressMonitor monitor_{};
    FilterAccess access_{};
};

// A host with the module loaded and the scripted graph providing the node
// services.
class ModuleTest : public ::testing::Test {
  protected:
    ModuleTest() { host.loadModule(testing_paths::moduleFile()); }

    minihost::Host host;
    fake::Graph graph{host};
};

// The sample the image filter would hand the network at (x, y).
NodalSample sampleAt(int32_t x, int32_t y);

// One image access node on a node of the graph.
class AccessNode {
  public:
    explicit AccessNode(const std::string& name = "Access 1");

    Instance get() const { return instance_.get(); }
    const minihost::ServerInstance& instance() const { return instance_; }
    const NodeHandler& handler() const { return handler_; }
    NodeID node() const { return node_; }
    NodeOutputID output(const std::string& name) const;
    fake::Input& inputX() const { return input("Image X"); }
    fake::Input& inputY() const { return input("Image Y"); }

    // Asks the node for one output at a sample, as the host would.
    fake::Value evaluate(const std::string& output, const NodalSample& sample) const;
    fake::Value evaluate(NodeOutputID output, const NodalSample& sample) const;
    // The render-state calls the node editor passes on.
    void newTime() const { handler_.rend->newTime(get(), 0, 0.0); }
    void cleanup() const { handler_.rend->cleanup(get()); }

  private:
    fake::Input& input(const std::string& name) const;
    const NodeHandler& handler_;
    NodeID node_;
    minihost::ServerInstance instance_;
};

// Sends the access hand-over on the image topic, as a pass starts.
void handOver(const FilterAccess& access);
// Gathers need flags on the image topic, starting from the given word.
uint32_t gatherFlags(uint32_t start = 0);

} // namespace harness
