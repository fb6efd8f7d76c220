// The module's debug print helpers. They are not exported and no server calls
// them, so their unit is compiled into this test. On Windows the text must go
// to the debugger output through OutputDebugStringA, which raises a
// DBG_PRINTEXCEPTION_C carrying the text; a vectored handler sees it first,
// under Windows and Wine alike. Elsewhere the text goes to standard error.
#include <server/odsprintf.cpp>

#include <gtest/gtest.h>

#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

#if defined(_WIN32)
// Collects what reaches the debugger output while it exists.
class DebugOutput {
  public:
    DebugOutput() : handler_(AddVectoredExceptionHandler(1, &DebugOutput::onException)) {
        text().clear();
    }
    ~DebugOutput() { RemoveVectoredExceptionHandler(handler_); }
    DebugOutput(const DebugOutput&) = delete;
    DebugOutput& operator=(const DebugOutput&) = delete;

    std::string take() { return text(); }

  private:
    static std::string& text() {
        static std::string collected;
        return collected;
    }
    // Called on this thread for every exception while the handler is added;
    // takes only the debug print ones, whose second argument is the text.
    static LONG CALLBACK onException(EXCEPTION_POINTERS* info) {
        const EXCEPTION_RECORD* record = info->ExceptionRecord;
        if (record->ExceptionCode != DBG_PRINTEXCEPTION_C || record->NumberParameters < 2)
            return EXCEPTION_CONTINUE_SEARCH;
        text() += reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        return EXCEPTION_CONTINUE_EXECUTION;
    }

    void* handler_;
};
#else
class DebugOutput {
  public:
    DebugOutput() { testing::internal::CaptureStderr(); }
    std::string take() { return testing::internal::GetCapturedStderr(); }
};
#endif

TEST(DebugPrint, FormattedTextReachesTheDebuggerOutputCutAt256Characters) {
    DebugOutput output;
    ODSPrintf("pass %d of %s\n", 3, "image filter");
    ODSPrintf("%s", std::string(300, 'x').c_str());
    EXPECT_EQ(output.take(), "pass 3 of image filter\n" + std::string(256, 'x'));
}

TEST(DebugPrint, TheSwitchedFormSendsOnlyWhenEnabled) {
    DebugOutput output;
    ODSPrintf2(0, "hidden %d", 1);
    ODSPrintf2(7, "shown %d", 2);
    EXPECT_EQ(output.take(), "shown 2");
}

} // namespace
