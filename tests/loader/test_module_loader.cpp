// The loader refuses every broken module with one line naming the file and
// the reason, and never crashes.
#include "module_file.h"

#include <minihost/module.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

using minihost::Module;
using minihost::ModuleError;
using testing::AllOf;
using testing::HasSubstr;
using testing::Not;

namespace {

std::string loadError(const std::filesystem::path& file) {
    try {
        Module::load(file);
    } catch (const ModuleError& e) {
        return e.what();
    }
    return "(loaded without error)";
}

TEST(ModuleLoader, RefusesEachBrokenFileWithOneClearLine) {
    const auto dir = std::filesystem::temp_directory_path() / "tavi-loader-test";
    std::filesystem::create_directories(dir);
    const auto text = dir / "not-a-library.so";
    std::ofstream(text) << "this is text, not a shared library\n";

    struct Case {
        std::filesystem::path file;
        std::string reason;
    } cases[] = {
        {dir / "missing.so", "no such file"},
        {dir, "is a directory"},
        {text, "not a loadable module"},
        {testing_paths::fixture("fake_no_descriptor"), "no _mod_descrip export"},
        {testing_paths::fixture("fake_bad_sync"), "bad synchronisation word 0x19940412"},
        {testing_paths::fixture("fake_bad_version"), "descriptor version 2, expected 3"},
    };
    for (const auto& c : cases) {
        const std::string error = loadError(c.file);
        EXPECT_THAT(error, AllOf(HasSubstr(c.file.string() + ": "), HasSubstr(c.reason),
                                 Not(HasSubstr("\n"))))
            << c.file;
    }
    std::filesystem::remove_all(dir);
}

TEST(ModuleLoader, LoadsTheBuiltModuleAndShutsItDownWithoutActivating) {
    auto module = Module::load(testing_paths::moduleFile());
    EXPECT_EQ(module.descriptor().syncWord, 0x04121994u);
    EXPECT_EQ(module.descriptor().version, 3u);
    EXPECT_EQ(module.descriptor().machine, 0x300u);
    // Start-up hands back a non-null server data value.
    EXPECT_EQ(module.serverData(), reinterpret_cast<void*>(std::uintptr_t{4}));
    // Moving keeps one owner: shut-down and unload happen once, at scope end.
    Module moved = std::move(module);
    EXPECT_EQ(moved.servers().size(), 8u);
}

TEST(ModuleLoader, ActivatingAnUnknownServerIsAnError) {
    const auto module = Module::load(testing_paths::moduleFile());
    EXPECT_THROW(module.activate("ImageFilterHandler", "NoSuchServer", 1, nullptr, nullptr),
                 ModuleError);
}

} // namespace
