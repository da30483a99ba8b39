// The protected descriptor of the loader's folders as SDDL, and which existing folder may be
// reused. Platform-free.
#include "loader/PrivateFolderRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr char kUser[] = "S-1-5-21-1004336348-1177238915-682003330-1001";

std::string Compose(const char* userSid, size_t capacity = loader::kPrivateFolderSddlChars)
{
    char sddl[loader::kPrivateFolderSddlChars + 1];
    EXPECT_LE(capacity, sizeof(sddl));
    if (!loader::ComposePrivateFolderSddl(sddl, capacity, userSid))
        return "<refused:" + std::string(sddl) + ">";
    return sddl;
}

TEST(PrivateFolderSddl, GrantsSystemAndAdministratorsAllAndTheUserReadAndExecuteOnly)
{
    EXPECT_EQ("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;" + std::string(kUser) +
                  ")(A;OICI;FRFX;;;S-1-3-4)",
              Compose(kUser));
    // Unless the run itself has no privileges: it must write into its own folders.
    char sddl[loader::kPrivateFolderSddlChars];
    ASSERT_TRUE(loader::ComposePrivateFolderSddl(sddl, sizeof(sddl), kUser, false));
    EXPECT_EQ("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + std::string(kUser) +
                  ")(A;OICI;FRFX;;;S-1-3-4)",
              std::string(sddl));
}

TEST(PrivateFolderSddl, RefusesWhatIsNotASidAndWhatDoesNotFit)
{
    const char* const notSids[] = {
        "",
        "S-1-",
        "s-1-5-18",
        "S-1-5-18)(A;OICI;FA;;;WD",  // would grant everyone full control
        "S-1-5-18 ",
        "S-1-5--18",
        "S-1-5-18-",
        nullptr,
    };
    for (const char* sid : notSids) {
        SCOPED_TRACE(sid ? sid : "null");
        EXPECT_EQ("<refused:>", Compose(sid));
    }

    const std::string fitting = Compose(kUser);
    EXPECT_EQ(fitting, Compose(kUser, fitting.size() + 1));
    EXPECT_EQ("<refused:>", Compose(kUser, fitting.size()));
    // The longest SID there is (15 sub-authorities of ten digits) fits the buffer.
    std::string longest = "S-1-5";
    for (int i = 0; i < 15; ++i)
        longest += "-4294967295";
    EXPECT_NE(std::string::npos, Compose(longest.c_str()).find(longest));
}

TEST(ExistingFolder, IsReusedOnlyWhenARealFolderOfSystemAdministratorsOrTheUser)
{
    using namespace loader;
    const unsigned long folder = kAttributeDirectory;
    const struct {
        const char* name;
        unsigned long attributes;
        const char* owner;
        const char* user;
        long verdict;
    } cases[] = {
        {"owned by SYSTEM", folder, "S-1-5-18", kUser, 0},
        {"owned by Administrators", folder, "S-1-5-32-544", kUser, 0},
        {"owned by the user", folder, kUser, kUser, 0},
        {"with other attributes too", folder | 0x1 | 0x20, "S-1-5-18", kUser, 0},
        {"owned by another user", folder, "S-1-5-21-1004336348-1177238915-682003330-1002", kUser,
         kFolderOwnerUntrusted},
        {"owned by Users", folder, "S-1-5-32-545", kUser, kFolderOwnerUntrusted},
        {"owned by Everyone", folder, "S-1-1-0", kUser, kFolderOwnerUntrusted},
        {"owner unknown", folder, "", kUser, kFolderOwnerUntrusted},
        {"user unknown, another owner", folder, kUser, "", kFolderOwnerUntrusted},
        {"junction or link, even SYSTEM's", folder | kAttributeReparsePoint, "S-1-5-18", kUser,
         kFolderIsReparsePoint},
        {"a file", 0x20, kUser, kUser, kNotAFolder},
        {"nothing there", kInvalidAttributes, kUser, kUser, kNotAFolder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.verdict, ExistingFolderVerdict(c.attributes, c.owner, c.user));
    }
}

}  // namespace
