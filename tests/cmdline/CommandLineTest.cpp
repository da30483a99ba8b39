// The installer's command line and custom-parameter text, from arguments and from the
// stamped parameter block.
#include "rules/CommandLine.h"
#include "rules/ParamBlock.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using loader::CommandLineNote;

constexpr char kInstaller[] = "C:\\Temp\\Qx_314\\Setup.exe";

struct Built {
    std::string commandLine;
    std::string customParams;
    std::vector<std::pair<CommandLineNote, int>> notes;
    bool ok = false;
};

void Collect(void* context, CommandLineNote note, int position)
{
    static_cast<Built*>(context)->notes.emplace_back(note, position);
}

Built Build(const std::vector<std::string>& args, const std::string& block = std::string(),
            const char* installer = kInstaller, size_t commandLineChars = 2048,
            size_t customChars = 2048)
{
    // The builder cuts arguments in place, as it does in the runtime's vector.
    std::vector<std::vector<char>> storage;
    storage.push_back({'l', 'o', 'a', 'd', 'e', 'r', '\0'});
    for (const std::string& a : args)
        storage.emplace_back(a.c_str(), a.c_str() + a.size() + 1);
    std::vector<char*> argv;
    for (auto& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    Built built;
    std::vector<char> line(commandLineChars, 'Z'), custom(customChars, 'Z');
    loader::CommandLineOutput out = {line.data(), line.size(), custom.data(), custom.size(),
                                     &Collect,    &built,      nullptr};
    built.ok = loader::BuildInstallerCommandLine(installer, (int)argv.size() - 1, argv.data(),
                                                 block.c_str(), block.size() + 1, out);
    built.commandLine = line.data();
    built.customParams = custom.data();
    return built;
}

std::string Appended(const Built& built)
{
    std::string prefix = kInstaller;
    EXPECT_EQ(built.commandLine.compare(0, prefix.size(), prefix), 0) << built.commandLine;
    return built.commandLine.substr(prefix.size());
}

std::string UnstampedBlock()
{
    char block[loader::kParamBlockSize];
    loader::MakeUnstampedParamBlock(block);
    return block;
}

struct ArgumentCase {
    const char* name;
    std::vector<std::string> args;
    const char* appended;
    const char* customParams;
};

TEST(InstallerCommandLineArguments, RewriteEachArgumentIntoASwitch)
{
    const ArgumentCase cases[] = {
        {"dash switches lose their dash", {"-s", "-a"}, " /s /a", ""},
        {"quoted name and value", {"/Lang en"}, " /Lang \"en\"", ""},
        {"custom params become the custom text", {"CustomParams a=1&b=2"}, "", "a=1&b=2"},
        {"a bare word is a switch", {"x"}, " /x", ""},
        {"only one leading character is removed", {"--x"}, " /-x", ""},
        {"slash-dash keeps the dash", {"/-x"}, " /-x", ""},
        {"dashed CustomParams is a switch", {"-CustomParams x"}, " /CustomParams \"x\"", ""},
        {"slashed CustomParams is a switch", {"/CustomParams x"}, " /CustomParams \"x\"", ""},
        {"CustomParams prefix counts", {"CustomParamsX v"}, "", "v"},
        {"case matters for CustomParams", {"customparams v"}, " /customparams \"v\"", ""},
        {"CustomParams without a value is dropped", {"CustomParams"}, "", ""},
        {"last CustomParams argument wins", {"CustomParams a=1", "CustomParams b=2"}, "", "b=2"},
        {"switch between two CustomParams arguments is kept",
         {"CustomParams a=1", "-s", "CustomParams b=2"},
         " /s",
         "b=2"},
        {"empty CustomParams value empties the text",
         {"CustomParams a=1", "CustomParams "},
         "",
         ""},
        {"value keeps its later blanks",
         {"/Dir C:\\Program Files\\X"},
         " /Dir \"C:\\Program Files\\X\"",
         ""},
        {"trailing blank gives an empty value", {"/Flag "}, " /Flag \"\"", ""},
        {"empty argument appends the bare slash", {""}, " /", ""},
        {"a lone dash appends the bare slash", {"-"}, " /", ""},
        {"switches and custom params mixed",
         {"-s", "CustomParams k=v", "/Lang de"},
         " /s /Lang \"de\"",
         "k=v"},
    };
    for (const ArgumentCase& c : cases) {
        Built built = Build(c.args);
        EXPECT_TRUE(built.ok) << c.name;
        EXPECT_EQ(Appended(built), c.appended) << c.name;
        EXPECT_EQ(built.customParams, c.customParams) << c.name;
        EXPECT_TRUE(built.notes.empty()) << c.name;
    }
}

TEST(InstallerCommandLineArguments, AreCutInPlaceAtTheirFirstBlank)
{
    char a0[] = "loader", a1[] = "-s x y", a2[] = "CustomParams a b";
    char* argv[] = {a0, a1, a2, nullptr};
    char line[2048], custom[2048];
    loader::CommandLineOutput out = {line,    sizeof(line), custom, sizeof(custom),
                                     nullptr, nullptr,      nullptr};
    ASSERT_TRUE(loader::BuildInstallerCommandLine(kInstaller, 3, argv, "", 1, out));
    EXPECT_STREQ(a1, "-s");
    EXPECT_STREQ(a2, "CustomParams");
    EXPECT_STREQ(line + sizeof(kInstaller) - 1, " /s \"x y\"");
    EXPECT_STREQ(custom,
                 "a b");  // An argument its caller does not keep is left out whole, cut nowhere.
    char b1[] = "-a x", b2[] = "/b y";
    char* kept[] = {a0, b1, b2, nullptr};
    out.keepArgument = [](void*, int position) { return position != 1; };
    ASSERT_TRUE(loader::BuildInstallerCommandLine("S", 3, kept, "", 1, out));
    EXPECT_STREQ("S /b \"y\"", line);
    EXPECT_STREQ("-a x", b1);
}

struct BlockCase {
    const char* name;
    std::string block;
    const char* appended;
    std::string customParams;
};

TEST(InstallerCommandLineBlock, ReadsEntriesByTheBlockGrammar)
{
    const BlockCase cases[] = {
        {"unstamped block", UnstampedBlock(), "", std::string(loader::kUnstampedValueChars, ' ')},
        {"no entry at all", std::string(273, ' '), "", ""},
        {"empty block", "", "", ""},
        {"switch with value then switch", "\"/Lang en\"\"/Silent\"", " /Lang \"en\" /Silent", ""},
        {"entry without value, blank filled", "\"/Silent\"" + std::string(264, ' '), " /Silent",
         ""},
        {"two CustomParams entries are joined", "\"/CustomParams a=1&\" \"/CustomParams b=2\"", "",
         "a=1&b=2"},
        {"CustomParams entry without value adds nothing", "\"/CustomParams\" \"/X\"", " /X", ""},
        {"text between entries is ignored", "junk \"/A\" more junk \"/B 1\" tail", " /A /B \"1\"",
         ""},
        {"entry without closing quote ends the parse", "\"/A\" \"/B never closed", " /A", ""},
        {"value may hold blanks", "\"/Dir a b  c\"", " /Dir \"a b  c\"", ""},
        {"empty value", "\"/Flag \"", " /Flag \"\"", ""},
        {"empty name with value", "\"/ v\"", " / \"v\"", ""},
        {"closing quote followed by slash opens the next entry", "\"/A\"/B\"", " /A /B", ""},
        {"value of a switch is not searched for entries", "\"/A x\"", " /A \"x\"", ""},
        {"lone opener at the end", "\"/", "", ""},
    };
    for (const BlockCase& c : cases) {
        Built built = Build({}, c.block);
        EXPECT_TRUE(built.ok) << c.name;
        EXPECT_EQ(Appended(built), c.appended) << c.name;
        EXPECT_EQ(built.customParams, c.customParams) << c.name;
        EXPECT_TRUE(built.notes.empty()) << c.name;
    }
}

TEST(InstallerCommandLineBlock, StopsAtTheBlockCapacityWithoutAZeroByte)
{
    char block[8] = {'"', '/', 'A', '"', '"', '/', 'B', '"'};  // no zero byte anywhere
    char a0[] = "loader";
    char* argv[] = {a0, nullptr};
    char line[2048], custom[2048];
    loader::CommandLineOutput out = {line,    sizeof(line), custom, sizeof(custom),
                                     nullptr, nullptr,      nullptr};
    ASSERT_TRUE(loader::BuildInstallerCommandLine("S", 1, argv, block, 7, out));
    EXPECT_STREQ(line, "S /A");  // "/B" has no closing quote within the 7 characters
}

TEST(InstallerCommandLineProgram, IsQuotedOnlyWhenItHoldsABlank)
{
    const struct {
        const char* path;
        const char* expected;
    } cases[] = {
        {"C:\\Temp\\Qx_314\\Setup.exe", "C:\\Temp\\Qx_314\\Setup.exe"},
        {"C:\\Documents and Settings\\Me\\Temp\\Qx_314\\Setup.exe",
         "\"C:\\Documents and Settings\\Me\\Temp\\Qx_314\\Setup.exe\""},
        {"C:\\Tab\there\\Setup.exe", "\"C:\\Tab\there\\Setup.exe\""},
        {"", ""},
    };
    for (const auto& c : cases) {
        char line[2048];
        ASSERT_TRUE(loader::StartCommandLineWithProgram(line, sizeof(line), c.path)) << c.path;
        EXPECT_STREQ(line, c.expected);
    }
    Built built = Build({"-s"}, "", "C:\\My Temp\\Setup.exe");
    EXPECT_EQ(built.commandLine, "\"C:\\My Temp\\Setup.exe\" /s");
}

TEST(InstallerCommandLineBounds, SkipsWholeArgumentsThatWouldNotFit)
{
    // "S" + " /a" fills 4 of 8 characters (with the zero byte); " /bcdef" would need 12.
    Built built = Build({"a", "bcdef", "g"}, "", "S", 8);
    EXPECT_EQ(built.commandLine, "S /a /g");
    ASSERT_EQ(built.notes.size(), 1u);
    EXPECT_EQ(built.notes[0].first, CommandLineNote::ArgumentSkipped);
    EXPECT_EQ(built.notes[0].second, 2);

    // The value's closing quote alone would not fit: nothing of the switch stays.
    built = Build({"/x 12"}, "", "S", 9);
    EXPECT_EQ(built.commandLine, "S");
    ASSERT_EQ(built.notes.size(), 1u);

    // Exactly full still fits: "S /x \"12\"" is 9 characters and the zero byte.
    built = Build({"/x 12"}, "", "S", 10);
    EXPECT_EQ(built.commandLine, "S /x \"12\"");
    EXPECT_TRUE(built.notes.empty());
}

TEST(InstallerCommandLineBounds, SkipsACustomParamsValueThatWouldNotFitAndKeepsTheEarlierOne)
{
    Built built = Build({"CustomParams ab", "CustomParams 12345"}, "", kInstaller, 2048, 5);
    EXPECT_EQ(built.customParams, "ab");
    ASSERT_EQ(built.notes.size(), 1u);
    EXPECT_EQ(built.notes[0].first, CommandLineNote::CustomParamsSkipped);
    EXPECT_EQ(built.notes[0].second, 2);

    built = Build({"CustomParams 1234"}, "", kInstaller, 2048, 5);
    EXPECT_EQ(built.customParams, "1234");
    EXPECT_TRUE(built.notes.empty());
}

TEST(InstallerCommandLineBounds, SkipsBlockEntriesThatWouldNotFit)
{
    Built built = Build({}, "\"/abcdef\" \"/g\" \"/CustomParams 12345\"", "S", 8, 4);
    EXPECT_EQ(built.commandLine, "S /g");
    EXPECT_EQ(built.customParams, "");
    ASSERT_EQ(built.notes.size(), 2u);
    EXPECT_EQ(built.notes[0], std::make_pair(CommandLineNote::EntrySkipped, 1));
    EXPECT_EQ(built.notes[1], std::make_pair(CommandLineNote::EntrySkipped, 3));
}

TEST(InstallerCommandLineBounds, RefusesAProgramPathThatDoesNotFit)
{
    Built built = Build({"-s"}, "", "C:\\a b", 7);  // quoted it needs 8 with the zero byte
    EXPECT_FALSE(built.ok);
    EXPECT_EQ(built.commandLine, "");
}

}  // namespace
