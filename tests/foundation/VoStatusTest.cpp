#include "VoFoundation/VoStatus.h"

#include <gtest/gtest.h>

#include <string>

#include "FoundationTestSupport.h"

namespace {

TEST(VoStatus, ConstructionAndCopies)
{
    VoStatus unset;
    EXPECT_EQ(0, unset.code());
    EXPECT_STREQ("", unset.message());
    VoStatus failed(VO_STATUS_NOT_FOUND, "No %s at %d", "key", 7);
    EXPECT_STREQ("No key at 7", failed.message());
    VoStatus copy(failed);
    copy.setCode(VO_STATUS_UNEXPECTED);
    EXPECT_EQ(VO_STATUS_NOT_FOUND, failed.code());
    EXPECT_STREQ("No key at 7", copy.message());
    VoStatus assigned;
    assigned = copy;
    EXPECT_EQ(VO_STATUS_UNEXPECTED, assigned.code());
    EXPECT_STREQ("No key at 7", assigned.message());
    VoStatus& same = assigned;
    assigned = same;
    EXPECT_STREQ("No key at 7", assigned.message());
}

TEST(VoStatus, AddContextSeparatesOnlyNonEmptyMessages)
{
    VoStatus status(VO_STATUS_FAILED);
    EXPECT_TRUE(status.addContext("inner %d", 1));
    EXPECT_STREQ("inner 1", status.message());
    status.addContext("outer");
    EXPECT_STREQ("outer\n\tinner 1", status.message());
    EXPECT_EQ(VO_STATUS_FAILED, status.code());
}

TEST(VoStatus, LongTextsAreCutAt1022Characters)
{
    std::string longText(1500, 'x');
    VoStatus formatted(VO_STATUS_FAILED, "%s", longText.c_str());
    EXPECT_EQ(1022u, std::string(formatted.message()).size());
    VoStatus status(VO_STATUS_FAILED, "cause");
    status.addContext("%s", longText.c_str());
    EXPECT_EQ(std::string(1022, 'x') + "\n\tcause", status.message());
}

TEST(VoStatus, CutToFirstLine)
{
    char a[] = "First line.\r\nSecond line.\r\n";
    VoCutToFirstLine(a);
    EXPECT_STREQ("First line.", a);
    char b[] = "One\nTwo\rThree";
    VoCutToFirstLine(b);
    EXPECT_STREQ("One", b);
}

}  // namespace
