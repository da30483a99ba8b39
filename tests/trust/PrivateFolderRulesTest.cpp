// The protected descriptor of the loader's folders as SDDL, which folder found in place may be
// used, and the per-run folder's name. Platform-free.
#include "rules/PrivateFolderRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr char kUser[] = "S-1-5-21-1004336348-1177238915-682003330-1001";

std::string Compose(const char* userSid, size_t capacity = loader::kPrivateFolderSddlChars,
                    bool privileged = true)
{
    char sddl[loader::kPrivateFolderSddlChars + 1];
    EXPECT_LE(capacity, sizeof(sddl));
    if (!loader::ComposePrivateFolderSddl(sddl, capacity, userSid, privileged))
        return "<refused:" + std::string(sddl) + ">";
    return sddl;
}

TEST(PrivateFolderSddl, GrantsSystemAndAdministratorsAllAndTheUserReadAndExecuteOnly)
{
    EXPECT_EQ("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;" + std::string(kUser) +
                  ")(A;OICI;FRFX;;;S-1-3-4)",
              Compose(kUser));
    // Unless the run itself has no privileges: it must write into its own folders.
    EXPECT_EQ("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + std::string(kUser) +
                  ")(A;OICI;FRFX;;;S-1-3-4)",
              Compose(kUser, loader::kPrivateFolderSddlChars, false));
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

// A folder found in place, as its handle and name report it and its descriptor reads.
TEST(FoundFolder, IsUsedOnlyWhenARealFolderOfSystemOrAdministratorsThatNoOneElseCanChange)
{
    using namespace loader;
    const unsigned long folder = kAttributeDirectory;
    const std::string user = kUser;
    const std::string own =
        "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;" + user + ")(A;OICI;FRFX;;;S-1-3-4)";
    const struct {
        const char* name;
        unsigned long attributes;
        std::string sddl;
        bool privileged;
        unsigned long verdict;
    } cases[] = {
        {"made by an earlier run as SYSTEM", folder, "O:SY" + own, true, 0},
        {"made by an earlier elevated run", folder, "O:BA" + own, true, 0},
        {"SIDs written out, other attributes, a SACL", folder | 0x21,
         "O:S-1-5-18D:PAI(A;;0x1f01ff;;;S-1-5-32-544)(A;;FR;;;WD)S:(AU;FA;FA;;;WD)", true, 0},
        {"TrustedInstaller's, with entries that deny", folder,
         "O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464D:(D;;FA;;;WD)(A;;FA;;;SY)",
         true, 0},
        {"entries that only children inherit", folder,
         "O:SYD:(A;OICIIO;FA;;;CO)(A;CIIO;SDGW;;;AU)(A;OICI;FA;;;SY)", true, 0},
        {"an entry children inherit that also applies to it", folder,
         "O:SYD:(A;CI;SDGW;;;AU)(A;OICI;FA;;;SY)", true, kFolderDaclUntrusted},
        {"owned by the run's user", folder, "O:" + user + own, true, kFolderOwnerUntrusted},
        {"owned by the user of a run without privileges", folder, "O:" + user + own, false, 0},
        {"owned by Users", folder, "O:BU" + own, true, kFolderOwnerUntrusted},
        {"without an owner", folder, own, true, kFolderOwnerUntrusted},
        {"SYSTEM's, Users may write", folder, "O:SYD:(A;OICI;FA;;;SY)(A;OICI;0x116;;;BU)", true,
         kFolderDaclUntrusted},
        {"Everyone may delete children", folder, "O:BAD:(A;;FA;;;BA)(A;;DT;;;WD)", true,
         kFolderDaclUntrusted},
        {"the run's user may rewrite the DACL", folder, "O:SYD:(A;;RCWD;;;" + user + ")", true,
         kFolderDaclUntrusted},
        {"Authenticated Users may delete it", folder, "O:SYD:(A;;SD;;;AU)", true,
         kFolderDaclUntrusted},
        {"generic write for Everyone", folder, "O:SYD:(A;;GW;;;WD)", true, kFolderDaclUntrusted},
        {"an unknown right", folder, "O:SYD:(A;;ZZ;;;WD)", true, kFolderDaclUntrusted},
        {"a null DACL", folder, "O:SYD:NO_ACCESS_CONTROL", true, kFolderDaclUntrusted},
        {"no DACL at all", folder, "O:SY", true, kFolderDaclUntrusted},
        {"an entry cut short", folder, "O:SYD:(A;;FA;;;SY", true, kFolderDaclUntrusted},
        {"junction or link, even SYSTEM's", folder | kAttributeReparsePoint, "O:SY" + own, true,
         kFolderIsReparsePoint},
        {"a file", 0x20, "O:SY" + own, true, kNotAFolder},
        {"nothing there", kInvalidAttributes, "O:SY" + own, true, kNotAFolder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.verdict, FoundFolderVerdict(c.attributes, c.sddl.c_str(), kUser, c.privileged));
    }
}

TEST(RunFolderName, IsLogEightHexadecimalDigitsTmp)
{
    char name[loader::kRunFolderNameChars];
    loader::MakeRunFolderName(name, 0x0123ABCDul);
    EXPECT_STREQ("log0123ABCD.tmp", name);
    loader::MakeRunFolderName(name, 0xFFFFFFFFul);
    EXPECT_STREQ("logFFFFFFFF.tmp", name);
}

}  // namespace
