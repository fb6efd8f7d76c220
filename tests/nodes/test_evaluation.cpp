// Evaluating networks of built-in nodes: types and conversions, defaults,
// fan-out, chains, cycles, replacing connections, and each node's arithmetic.
#include "network_test_support.h"

#include <gmock/gmock.h>

#include <limits>

namespace {

using namespace nodes_test;
using minihost::HostError;
using minihost::RampKey;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class Evaluation : public NetworkTest {};

TEST_F(Evaluation, ConvertsBetweenScalarAndColourWhereTypesDiffer) {
    net.addBuiltin("constant", "grey");
    net.setDefault("grey", "Value", {0.25, 0, 0});
    net.connect("grey", "Value", "Root", "Color");
    EXPECT_THAT(rootValue("Color"), ElementsAre(0.25, 0.25, 0.25));

    net.addBuiltin("color", "tint");
    net.setDefault("tint", "Color", {1.0, 0.5, 0.25});
    net.connect("tint", "Color", "Root", "Alpha");
    EXPECT_NEAR(rootValue("Alpha")[0], 0.2126 + 0.7152 * 0.5 + 0.0722 * 0.25, 1e-15);
}

TEST_F(Evaluation, ScalarInputsWriteOneDoubleAndColourInputsThree) {
    net.addBuiltin("color", "tint");
    net.setDefault("tint", "Color", {0.1, 0.2, 0.3});
    net.connect("tint", "Color", "Root", "Color");
    net.connect("tint", "Color", "Root", "Alpha");
    const double sentinel = -99.0;
    double out[3] = {sentinel, sentinel, sentinel};
    EXPECT_EQ(inputFuncs().evaluate(net.root().input("Alpha")->handle(), &sample, out), 1);
    EXPECT_NE(out[0], sentinel);
    EXPECT_EQ(out[1], sentinel);
    EXPECT_EQ(out[2], sentinel);
    EXPECT_EQ(inputFuncs().evaluate(net.root().input("Color")->handle(), &sample, out), 1);
    EXPECT_THAT(out, ElementsAre(0.1, 0.2, 0.3));
    EXPECT_EQ(inputFuncs().evaluate(nullptr, &sample, out), 0);
}

TEST_F(Evaluation, UnconnectedInputsGiveTheirDefaults) {
    EXPECT_THAT(rootValue("Color"), ElementsAre(0, 0, 0));
    net.setDefault("Root", "Color", {0.5, 0.6, 0.7});
    EXPECT_THAT(rootValue("Color"), ElementsAre(0.5, 0.6, 0.7));
    // A scalar default keeps one number.
    net.setDefault("Root", "Alpha", {0.9, 5, 5});
    EXPECT_THAT(net.root().input("Alpha")->defaultValue(), ElementsAre(0.9, 0, 0));

    // Built-in inputs have their own defaults: multiply is 1 x 1.
    net.addBuiltin("multiply", "m");
    net.connect("m", "Result", "Root", "Alpha");
    EXPECT_EQ(rootValue("Alpha")[0], 1.0);
    net.setDefault("m", "B", {3, 0, 0});
    EXPECT_EQ(rootValue("Alpha")[0], 3.0);
}

TEST_F(Evaluation, OneOutputFeedsManyInputs) {
    net.addBuiltin("constant", "c");
    net.setDefault("c", "Value", {2, 0, 0});
    net.addBuiltin("add", "sum");
    net.connect("c", "Value", "sum", "A");
    net.connect("c", "Value", "sum", "B");
    net.connect("sum", "Result", "Root", "Alpha");
    net.connect("c", "Value", "Root", "Color");
    EXPECT_EQ(rootValue("Alpha")[0], 4.0);
    EXPECT_THAT(rootValue("Color"), ElementsAre(2, 2, 2));
    EXPECT_EQ(net.connections().size(), 4u);
}

TEST_F(Evaluation, ChainsEvaluateEveryStage) {
    std::string previous;
    for (int i = 0; i < 5; ++i) {
        const std::string name = net.addBuiltin("add").name();
        net.setDefault(name, "B", {1, 0, 0});
        if (!previous.empty())
            net.connect(previous, "Result", name, "A");
        previous = name;
    }
    EXPECT_EQ(previous, "add5");
    net.connect(previous, "Result", "Root", "Alpha");
    EXPECT_EQ(rootValue("Alpha")[0], 5.0);
    net.setDefault("add1", "A", {10, 0, 0});
    EXPECT_EQ(rootValue("Alpha")[0], 15.0);
}

TEST_F(Evaluation, CyclesAreRefusedNamingBothEnds) {
    net.addBuiltin("add", "a");
    net.addBuiltin("add", "b");
    net.addBuiltin("add", "c");
    net.connect("a", "Result", "b", "A");
    net.connect("b", "Result", "c", "A");
    const auto before = net.connections();
    try {
        net.connect("c", "Result", "a", "B");
        FAIL() << "a cycle was accepted";
    } catch (const HostError& e) {
        EXPECT_THAT(e.what(), HasSubstr("\"c.Result\""));
        EXPECT_THAT(e.what(), HasSubstr("\"a.B\""));
        EXPECT_THAT(e.what(), HasSubstr("cycle"));
    }
    EXPECT_THROW(net.connect("a", "Result", "a", "A"), HostError);
    // Replacing a connection with one that closes a loop keeps the old one.
    EXPECT_THROW(net.connect("c", "Result", "b", "A"), HostError);
    EXPECT_EQ(net.connections(), before);
}

TEST_F(Evaluation, ConnectingAConnectedInputReplacesItsConnection) {
    net.addBuiltin("constant", "one");
    net.setDefault("one", "Value", {1, 0, 0});
    net.addBuiltin("constant", "two");
    net.setDefault("two", "Value", {2, 0, 0});
    net.connect("one", "Value", "Root", "Alpha");
    net.connect("two", "Value", "Root", "Alpha");
    EXPECT_EQ(rootValue("Alpha")[0], 2.0);
    ASSERT_EQ(net.connections().size(), 1u);
    // The old source no longer feeds it: removing that source changes nothing.
    EXPECT_TRUE(net.find("one")->output("Value")->targets().empty());
    net.remove("one");
    EXPECT_EQ(rootValue("Alpha")[0], 2.0);
    // Removing the source leaves the input with its default.
    net.remove("two");
    EXPECT_FALSE(net.root().input("Alpha")->connected());
    EXPECT_EQ(inputFuncs().connected(net.root().input("Alpha")->handle()), 0);
    EXPECT_EQ(rootValue("Alpha")[0], 0.0);
}

TEST_F(Evaluation, UnknownNamesAreRefusedClearly) {
    net.addBuiltin("add", "a");
    EXPECT_THAT([&] { net.connect("nope", "Result", "Root", "Alpha"); },
                ::testing::ThrowsMessage<HostError>(HasSubstr("\"nope\"")));
    EXPECT_THAT([&] { net.connect("a", "Out", "Root", "Alpha"); },
                ::testing::ThrowsMessage<HostError>(HasSubstr("no output \"Out\"")));
    EXPECT_THAT([&] { net.connect("a", "Result", "Root", "Beta"); },
                ::testing::ThrowsMessage<HostError>(HasSubstr("no input \"Beta\"")));
    EXPECT_THROW(net.addBuiltin("no_such_type"), HostError);
    EXPECT_THROW(net.addBuiltin("add", "a"), HostError);
    EXPECT_THROW(net.addBuiltin("add", "x.y"), HostError);
    EXPECT_THROW(net.addBuiltin("add", "Root"), HostError);
    EXPECT_THROW(net.remove("Root"), HostError);
    EXPECT_THROW(net.setRampKeys("a", {}), HostError);
}

// One built-in node with its inputs set, evaluated through its first output.
class BuiltinMath : public NetworkTest {
  protected:
    Value run(const std::string& type, std::initializer_list<Value> inputs) {
        auto& node = net.addBuiltin(type);
        std::size_t i = 0;
        for (const Value& v : inputs)
            net.setDefault(node.name(), node.inputs()[i++]->name(), v);
        Value out{};
        node.evaluate(*node.outputs()[0], sample, out.data());
        return out;
    }
    double scalar(const std::string& type, std::initializer_list<double> inputs) {
        auto& node = net.addBuiltin(type);
        std::size_t i = 0;
        for (double v : inputs)
            net.setDefault(node.name(), node.inputs()[i++]->name(), {v, 0, 0});
        Value out{};
        node.evaluate(*node.outputs()[0], sample, out.data());
        return out[0];
    }
};

TEST_F(BuiltinMath, ScalarOperations) {
    EXPECT_EQ(scalar("add", {2, 3}), 5);
    EXPECT_EQ(scalar("subtract", {2, 3}), -1);
    EXPECT_EQ(scalar("multiply", {2, 3}), 6);
    EXPECT_EQ(scalar("divide", {3, 2}), 1.5);
    EXPECT_EQ(scalar("min", {2, 3}), 2);
    EXPECT_EQ(scalar("max", {2, 3}), 3);
    EXPECT_EQ(scalar("power", {2, 3}), 8);
    EXPECT_EQ(scalar("abs", {-4}), 4);
    EXPECT_EQ(scalar("clamp", {5, 0, 2}), 2);
    EXPECT_EQ(scalar("clamp", {-1, 0, 2}), 0);
    EXPECT_EQ(scalar("mix", {2, 4, 0.25}), 2.5);
    EXPECT_EQ(scalar("constant", {7}), 7);
}

TEST_F(BuiltinMath, ResultsWithoutAFiniteValueAreZero) {
    EXPECT_EQ(scalar("divide", {1, 0}), 0.0);
    EXPECT_EQ(scalar("divide", {0, 0}), 0.0);
    EXPECT_EQ(scalar("power", {-8, 1.0 / 3.0}), 0.0);
    EXPECT_EQ(scalar("power", {0, -1}), 0.0);
    EXPECT_THAT(run("color_divide", {{1, 2, 3}, {2, 0, -1}}), ElementsAre(0.5, 0, -3));
}

TEST_F(BuiltinMath, ColourOperationsWorkPerComponent) {
    EXPECT_THAT(run("color_add", {{1, 2, 3}, {10, 20, 30}}), ElementsAre(11, 22, 33));
    EXPECT_THAT(run("color_subtract", {{1, 2, 3}, {1, 1, 1}}), ElementsAre(0, 1, 2));
    EXPECT_THAT(run("color_multiply", {{1, 2, 3}, {2, 2, 0}}), ElementsAre(2, 4, 0));
    EXPECT_THAT(run("color_min", {{1, 5, 3}, {2, 2, 2}}), ElementsAre(1, 2, 2));
    EXPECT_THAT(run("color_max", {{1, 5, 3}, {2, 2, 2}}), ElementsAre(2, 5, 3));
    EXPECT_THAT(run("color_power", {{2, 3, 4}, {2, 2, 0.5}}), ElementsAre(4, 9, 2));
    EXPECT_THAT(run("color_abs", {{-1, 2, -3}}), ElementsAre(1, 2, 3));
    EXPECT_THAT(run("color_clamp", {{-1, 0.5, 2}, {0, 0, 0}, {1, 1, 1}}), ElementsAre(0, 0.5, 1));
    // The mix factor is one scalar for all three components.
    EXPECT_THAT(run("color_mix", {{0, 0, 0}, {2, 4, 8}, {0.5, 9, 9}}), ElementsAre(1, 2, 4));
}

TEST_F(BuiltinMath, PackingAndUnpackingColours) {
    EXPECT_THAT(run("make_color", {{0.1, 0, 0}, {0.2, 0, 0}, {0.3, 0, 0}}),
                ElementsAre(0.1, 0.2, 0.3));
    net.addBuiltin("split_color", "split");
    net.setDefault("split", "Color", {0.1, 0.2, 0.3});
    const std::pair<const char*, double> channels[] = {{"R", 0.1}, {"G", 0.2}, {"B", 0.3}};
    for (const auto& [channel, expected] : channels) {
        net.connect("split", channel, "Root", "Alpha");
        EXPECT_EQ(rootValue("Alpha")[0], expected) << channel;
    }
    EXPECT_NEAR(run("luminance", {{1, 1, 1}})[0], 1.0, 1e-15);
}

TEST_F(BuiltinMath, Smoothstep) {
    EXPECT_EQ(scalar("smoothstep", {0, 1, -1}), 0.0);
    EXPECT_EQ(scalar("smoothstep", {0, 1, 0.5}), 0.5);
    EXPECT_EQ(scalar("smoothstep", {0, 1, 2}), 1.0);
    EXPECT_NEAR(scalar("smoothstep", {0, 2, 0.5}), 0.15625, 1e-15);
    // Equal edges make a step instead of dividing by zero.
    EXPECT_EQ(scalar("smoothstep", {1, 1, 0.5}), 0.0);
    EXPECT_EQ(scalar("smoothstep", {1, 1, 1}), 1.0);
}

TEST_F(BuiltinMath, RampInterpolatesBetweenSortedKeysAndClampsAtTheEnds) {
    auto& ramp = net.addBuiltin("ramp", "r");
    net.connect("r", "Color", "Root", "Color");
    // Black to white by default.
    net.setDefault("r", "Position", {0.25, 0, 0});
    EXPECT_THAT(rootValue("Color"), ElementsAre(0.25, 0.25, 0.25));

    net.setRampKeys("r", {{1.0, {0, 0, 1}}, {0.0, {1, 0, 0}}, {0.5, {0, 1, 0}}});
    EXPECT_THAT(ramp.rampKeys(), ElementsAre(RampKey{0.0, {1, 0, 0}}, RampKey{0.5, {0, 1, 0}},
                                             RampKey{1.0, {0, 0, 1}}));
    net.setDefault("r", "Position", {0.75, 0, 0});
    EXPECT_THAT(rootValue("Color"), ElementsAre(0, 0.5, 0.5));
    net.setDefault("r", "Position", {-3, 0, 0});
    EXPECT_THAT(rootValue("Color"), ElementsAre(1, 0, 0));
    net.setDefault("r", "Position", {3, 0, 0});
    EXPECT_THAT(rootValue("Color"), ElementsAre(0, 0, 1));
    net.setDefault("r", "Position", {std::numeric_limits<double>::quiet_NaN(), 0, 0});
    EXPECT_THAT(rootValue("Color"), ElementsAre(1, 0, 0));

    net.setRampKeys("r", {});
    EXPECT_THAT(rootValue("Color"), ElementsAre(0, 0, 0));
    EXPECT_THROW(net.setRampKeys("r", {{std::numeric_limits<double>::infinity(), {}}}), HostError);
}

TEST(BuiltinRegistry, ListsEveryTypeWithItsPorts) {
    for (const char* name :
         {"constant",     "color",     "add",        "subtract",       "multiply",
          "divide",       "min",       "max",        "power",          "abs",
          "clamp",        "mix",       "color_add",  "color_subtract", "color_multiply",
          "color_divide", "color_min", "color_max",  "color_power",    "color_abs",
          "color_clamp",  "color_mix", "make_color", "split_color",    "luminance",
          "smoothstep",   "ramp"})
        EXPECT_NE(minihost::findBuiltinType(name), nullptr) << name;
    const auto* mix = minihost::findBuiltinType("color_mix");
    ASSERT_EQ(mix->inputs.size(), 3u);
    EXPECT_EQ(mix->inputs[2].type, ValueType::Scalar);
    EXPECT_EQ(mix->outputs[0].type, ValueType::Color);
}

} // namespace
