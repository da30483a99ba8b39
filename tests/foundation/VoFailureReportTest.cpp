#include "VoFoundation/VoFailureReport.h"

#include <gtest/gtest.h>

#include <string>

#include "FoundationTestSupport.h"
#include "VoFoundation/VoStatus.h"

namespace {

TEST(VoStatusReport, ContextLineAlwaysFollowedBySeparator)
{
    TraceCapture trace;
    VoStatus empty(VO_STATUS_FAILED);
    empty.report("Failure in %s", "here");
    VoStatus full(VO_STATUS_NO_MEMORY, "cause");
    full.report("outer");
    full.report(nullptr);
    ASSERT_EQ(3, trace.count());
    EXPECT_EQ("Failure in here\n\t", trace.message(0));
    EXPECT_EQ("outer\n\tcause", trace.message(1));
    EXPECT_EQ("cause", trace.message(2));
    EXPECT_EQ(kVoTraceLevelError, trace.level(1));
    EXPECT_STREQ("cause", full.message());
}

TEST(VoReportFailedCheck, RecordTextAndCuts)
{
    TraceCapture trace;
    VoReportFailedCheck("_mutexImp != NULL", "Failed to create %s",
                        "C:\\src\\VoThreads\\VoMutex.cpp", 42, 8, "VoMutex");
    std::string longMessage(600, 'm');
    VoReportFailedCheck("false", "%s", "/src/Unit.cpp", 7, 0, longMessage.c_str());
    ASSERT_EQ(2, trace.count());
    EXPECT_EQ(kVoTraceLevelError, trace.level(0));
    EXPECT_EQ("(_mutexImp != NULL) failed: Failed to create VoMutex in VoMutex.cpp at line 42. "
              "(Last OS error: 8)",
              trace.message(0));
    EXPECT_EQ("(false) failed: " + std::string(511, 'm') +
                  " in Unit.cpp at line 7. (Last OS error: 0)",
              trace.message(1));
}

TEST(VoReportFailedCheck, RecordCutAt1023Characters)
{
    TraceCapture trace;
    std::string longCondition(2000, 'c');
    VoReportFailedCheck(longCondition.c_str(), "m", "f.cpp", 1, 0);
    ASSERT_EQ(1, trace.count());
    EXPECT_EQ("(" + std::string(1022, 'c'), trace.message(0));
}

TEST(VoBaseName, LastComponentUnlessOnlyLeadingSeparator)
{
    struct Case {
        const char* path;
        const char* expected;
    } cases[] = {
        {"C:\\src\\VoString.cpp", "VoString.cpp"},
        {"/work/src/Unit.CPP", "Unit.CPP"},
        {"mixed\\dir/File.cpp", "File.cpp"},
        {"Plain.cpp", "Plain.cpp"},
        {"/Root.cpp", "/Root.cpp"},
        {"dir/", ""},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.expected, VoBaseName(c.path)) << c.path;
}

TEST(VoLocationText, PrefixFileAndLine)
{
    EXPECT_STREQ("unknown(), vostring.cpp:120",
                 VoLocationText("unknown()", "vostring.cpp", 120).c_str());
    std::string longFile(400, 'f');
    std::string text = VoLocationText("unknown()", longFile.c_str(), 1).c_str();
    EXPECT_EQ("unknown(), " + std::string(253, 'f'), text);
}

}  // namespace
