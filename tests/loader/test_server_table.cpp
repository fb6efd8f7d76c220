// The server table as the host walks it: eight rows in a fixed order, each
// with its name and user-visible tag, then the all-zero row.
#include "module_file.h"

#include <host/hostapi.h>
#include <minihost/module.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Expected {
    const char* className;
    const char* name;
    const char* title;
};

const Expected kServers[] = {
    {"PixelFilterHandler", "Tavi_NodePixelFilter", "Tavi Node PixelFilter"},
    {"PixelFilterInterface", "Tavi_NodePixelFilter", "Tavi Node PixelFilter"},
    {"NodeHandler", "Tavi_PixelFilterAccessNode", "Tavi PixelFilter Access Node"},
    {"NodeInterface", "Tavi_PixelFilterAccessNode", "Tavi PixelFilter Access Node"},
    {"ImageFilterHandler", "Tavi_NodeImageFilter", "Tavi Node ImageFilter"},
    {"ImageFilterInterface", "Tavi_NodeImageFilter", "Tavi Node ImageFilter"},
    {"NodeHandler", "Tavi_ImageFilterAccessNode", "Tavi ImageFilter Access Node"},
    {"NodeInterface", "Tavi_ImageFilterAccessNode", "Tavi ImageFilter Access Node"},
};

TEST(ServerTable, EightRowsInOrderThenTheZeroRow) {
    const auto module = minihost::Module::load(testing_paths::moduleFile());
    const ServerRecord* rows = module.descriptor().servers;
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(rows[i].className, nullptr);
        EXPECT_STREQ(rows[i].className, kServers[i].className);
        EXPECT_STREQ(rows[i].name, kServers[i].name);
        EXPECT_NE(rows[i].activate, nullptr);
        // Each tag list holds one named row with code 0, then (null, 0).
        ASSERT_NE(rows[i].tags, nullptr);
        EXPECT_EQ(rows[i].tags[0].tag, 0u);
        EXPECT_STREQ(rows[i].tags[0].text, kServers[i].title);
        EXPECT_EQ(rows[i].tags[1].text, nullptr);
        EXPECT_EQ(rows[i].tags[1].tag, 0u);
    }
    EXPECT_EQ(rows[8].className, nullptr);
    EXPECT_EQ(rows[8].name, nullptr);
    EXPECT_EQ(rows[8].activate, nullptr);
    EXPECT_EQ(rows[8].tags, nullptr);
    // A handler and its interface share one tag list.
    for (int i = 0; i < 8; i += 2)
        EXPECT_EQ(rows[i].tags, rows[i + 1].tags);
}

TEST(ServerTable, ActivationWithoutARecordReturnsThreeForEveryServer) {
    const auto module = minihost::Module::load(testing_paths::moduleFile());
    auto noServices = [](const char*, int) -> void* { return nullptr; };
    for (const auto& server : module.servers()) {
        SCOPED_TRACE(server.className + " " + server.name);
        for (int version : {1, 3, 4})
            EXPECT_EQ(server.activate(version, noServices, nullptr, module.serverData()),
                      ACTIVATE_NO_RECORD);
    }
}

} // namespace
