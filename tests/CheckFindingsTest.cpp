// SrdwCheck's findings on scripts with one surprise each, with where it stands.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "TestSupport.h"
#include "check/ScriptCheck.h"
#include "script/CommandTable.h"
#include "script/PathModel.h"

namespace srdw::check {
namespace {

// "code@line:column" of every finding, or "code" for the script as a whole.
std::vector<std::string> Found(const CheckReport& report) {
    std::vector<std::string> found;
    for (const auto& finding : report.findings) {
        found.push_back(finding.code + (finding.where
                                            ? "@" + std::to_string(finding.where->line) + ":" +
                                                  std::to_string(finding.where->column)
                                            : ""));
    }
    return found;
}

CheckReport Check(std::string_view script, std::string commandLine = {}) {
    return CheckScript("mod.dat", script, CheckOptions{{}, std::move(commandLine)});
}

struct Case {
    const char* name;
    std::string script;
    std::vector<std::string> found;
};

void PrintTo(const Case& script, std::ostream* out) {
    *out << script.name;
}

class FindingTest : public ::testing::TestWithParam<Case> {};

TEST_P(FindingTest, ReportsWhereTheLauncherSurprises) {
    EXPECT_EQ(Found(Check(GetParam().script)), GetParam().found) << GetParam().script;
}

const std::string kLong(520, 'x');

INSTANTIATE_TEST_SUITE_P(
    Scripts, FindingTest,
    ::testing::Values(
        Case{"clean",
             "// ok\r\nRenameEx(a.pak, a.dw, a.bak);\r\nSetDirectory(Data)\r\nRename(b, c)\r\n",
             {}},
        Case{"notes_between_arguments",
             "RenameEx(a.pak,  // the game's\n  a.dw, // the mod's\n  a.bak)\n",
             {}},
        Case{"empty", "", {"empty-script"}},
        Case{"only_comments", "// nothing yet\n", {"no-commands"}},
        Case{"unclosed_quote", "Rename(a, b)\nRename(\"a b, c)\n", {"unclosed-quote@2:8"}},
        Case{"unclosed_call", "Rename(a, b)\n  Rename(c, d\n", {"unclosed-call@2:3"}},
        Case{"comment_ate_last_close",
             "Rename(a, b)\nRename(c, d // was e)\n",
             {"unclosed-call@2:1"}},
        Case{"text_after_last_call", "Rename(a, b)\n\nthe end\n", {"text-after-last-call@3:1"}},
        Case{"too_few_arguments", "\tRenameEx(a, b)\n", {"missing-argument@1:15"}},
        Case{"no_directory", "SetDirectory()", {"missing-argument@1:14"}},
        Case{"empty_argument",
             "Rename(a,  )\nRename(\"\", b)\n",
             {"empty-argument@1:12", "empty-argument@2:8"}},
        Case{"too_long", "Rename(a, " + kLong + ")\n", {"too-long@1:11"}},
        Case{"letter_case", "Rename(a, b)\nrenameex(a, b, c)\n", {"command-case@2:1"}},
        Case{"glued_word", "Rename(a, b) oops\nRename(c, d)\n", {"glued-word@1:14"}},
        Case{"leading_semicolon", ";Rename(a, b)\n", {"glued-word@1:1"}},
        Case{"unknown", "Delete(a)\n", {"unknown-command@1:1"}},
        Case{"no_name", "Rename(a,b)(c)\n", {"call-without-name@1:12"}},
        Case{"comment_in_path", "Rename(Data//old, b)\nRename(c, d)\n", {"comment-in-call@1:12"}},
        Case{"comment_cuts_argument", "Rename(Data//old\n, b)\n", {"comment-in-call@1:12"}},
        Case{"quoted_comma",
             "Rename(\"a, b\", c)\n",
             {"quoted-separator@1:10", "extra-arguments@1:16"}},
        Case{"quoted_close",
             "Rename(\"a)\", c)\n",
             {"missing-argument@1:10", "quoted-separator@1:10", "text-after-last-call@1:11"}},
        Case{"nul_in_quotes", std::string("Rename(\"a\0b\", c)\n", 17), {"nul-byte@1:10"}},
        Case{"extra_arguments", "SetDirectory(a, b, c)\n", {"extra-arguments@1:17"}},
        Case{"absolute_outside", "Rename(C:\\Windows\\win.ini, b)\n", {"outside-game@1:8"}},
        Case{"climbs_out", "SetDirectory(Data)\nRename(..\\..\\x, y)\n", {"outside-game@2:8"}},
        Case{"same_target", "Rename(a, c)\nRename(b, C)\n", {"same-target@2:11"}},
        Case{"same_backup", "RenameEx(a, b, x.bak)\nRenameEx(c, d, X.BAK)\n", {"same-target@2:16"}},
        Case{"chain", "Rename(a, b)\nRename(b, c)\n", {"rename-chain@2:8"}},
        Case{"chain_across_directories",
             "Rename(Data\\a, Data\\b)\nSetDirectory(Data)\nRename(b, c)\n",
             {"rename-chain@3:8"}},
        Case{"command_line", "Rename(a, \"@cmdline.txt\")\n", {"uses-cmdline@1:11"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CheckReportTest, ListsTheCommandsWithTheirExpansions) {
    const auto report = Check(
        "RenameEx(\"@rootdir\\a b.pak\", x, y)\nSetDirectory(Data)\nRename(\"@CMDLINE\", z)\n"
        "rename(p, q)\n",
        "  -Window /EDIT ");
    ASSERT_EQ(report.commands.size(), 4u);
    EXPECT_EQ(report.gameDirectory, kWindowsPaths ? "C:\\<game>" : "/<game>");
    EXPECT_EQ(report.commands[0].arguments[0].install, report.gameDirectory + "\\a b.pak");
    EXPECT_EQ(report.commands[2].directory, kWindowsPaths ? ".\\Data" : "./Data");
    EXPECT_EQ(report.commands[2].arguments[0].install, "-window /edit");
    EXPECT_FALSE(report.commands[3].known);
    EXPECT_FALSE(report.dryRun);
}

TEST(CheckReportTest, AnArgumentEndsAtANul) {
    const auto report = Check(std::string("Rename(x, \"b\0c\")\n", 17));
    ASSERT_EQ(report.commands.size(), 1u);
    const CheckedArgument& target = report.commands[0].arguments[1];
    EXPECT_EQ(target.text, "\"b");
    EXPECT_EQ(target.install, "b");
    EXPECT_EQ(target.where.column, 11u);
}

TEST(CheckReportTest, JsonEscapesWhatTheScriptHolds) {
    const auto report = Check("Rename(\"a\\b\tq\xE9\", b)\n");
    const std::string json = JsonReport(report);
    EXPECT_NE(json.find(R"("text":"\"a\\b\tq\u00e9\"")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("errors":0,"warnings":0)"), std::string::npos) << json;
}

// A text is UTF-8 only if the strict rules hold, or the document would carry
// invalid UTF-8; otherwise each of its bytes stands for itself. (Windows lowers
// @cmdline in its code page, so these bytes are ones without case there.)
TEST(CheckReportTest, JsonKeepsUtf8AndTakesAnythingElseByteForByte) {
    const std::pair<std::string, std::string> cases[] = {
        {"\xE2\x82\xAC \xF0\x90\x80\x80", R"(\u20ac \ud800\udc00)"},
        {"x\xED\xA0\x80", R"(x\u00ed\u00a0\u0080)"},            // a surrogate
        {"\xE0\x80\xAF/\xE9", R"(\u00e0\u0080\u00af/\u00e9)"},  // an overlong '/'
        {"\xF4\x90\x80\x80", R"(\u00f4\u0090\u0080\u0080)"}     // past U+10FFFF
    };
    for (const auto& [commandLine, expected] : cases) {
        const std::string json = JsonReport(Check("", commandLine));
        EXPECT_NE(json.find("\"cmdline\":\"" + expected + '"'), std::string::npos) << json;
    }
}

TEST(CheckReportTest, ListsTheFirstOfEachKindAndCountsTheRest) {
    std::string script;
    for (std::size_t i = 0; i <= kListedCommands; ++i) {
        script += "Delete(a)\n";
    }
    const auto report = Check(script);
    EXPECT_EQ(report.findings.size(), kListedFindingsPerCode);
    EXPECT_EQ(report.Count(Severity::Warning), kListedCommands + 1);
    EXPECT_EQ(report.commands.size(), kListedCommands);
    EXPECT_EQ(report.commandCount, kListedCommands + 1);
    const std::string more = std::to_string(kListedCommands + 1 - kListedFindingsPerCode);
    const std::string text = TextReport(report);
    const std::string all = std::to_string(kListedCommands + 1);
    EXPECT_NE(text.find("mod.dat: warning: " + more + " more like this, not listed (" + all +
                        " in all) [unknown-command]\n"),
              std::string::npos);
    EXPECT_NE(text.find("  ... 1 more command, not listed\n"), std::string::npos);
    const std::string json = JsonReport(report);
    EXPECT_NE(json.find(R"("leftOut":{"findings":[{"code":"unknown-command","severity":)"
                        R"("warning","count":)" +
                        more + "}],\"commands\":1}}"),
              std::string::npos);
}

// A log of the dry run lists its first lines, without their CR, and counts the
// rest; each failed command is found at the argument its words name.
TEST(CheckReportTest, TheDryRunListsTheFirstLinesOfEachLogAndCountsTheRest) {
    const test::ScratchDir game;
    std::string script;
    for (std::size_t i = 0; i <= kListedLogLines / 4; ++i) {
        script += "Rename(a, b)\n";  // four lines each: the command, two paths, the error
    }
    const auto report = CheckScript(game / "mod.dat", script, {game / "", ""});
    ASSERT_TRUE(report.dryRun);
    const WalkLog& install = report.dryRun->install;
    ASSERT_EQ(install.lines.size(), kListedLogLines);
    EXPECT_EQ(install.lines[0], "Executing 'Rename()'");
    EXPECT_EQ(install.lines[3], "ERROR: the file 'a' does not exist!");
    EXPECT_EQ(install.leftOut, 4u);
    EXPECT_EQ(report.tallies.at("install-fails").count, kListedLogLines / 4 + 1);
    EXPECT_EQ(Found(report).front(), "install-fails@1:8");
    EXPECT_EQ(report.findings.front().message,
              "install fails here: ERROR: the file 'a' does not exist!");
}

TEST(CheckReportTest, ARecoveryWithNothingToLogSaysSoInOneLine) {
    const test::ScratchDir game;
    const auto report = CheckScript(game / "mod.dat", "// nothing yet\n", {game / "", ""});
    const std::string out = TextReport(report);
    EXPECT_NE(out.find("(@cmdline = /recover) would find nothing to undo and log no "
                       "command.\n  After that recovery, every path is back"),
              std::string::npos)
        << out;
}

// The dry run refuses, as the launcher does, a command that would move one of
// the launcher's own files: an error at that command, and nothing moved.
TEST(CheckReportTest, TheLaunchersOwnFilesAreOutOfReach) {
    const test::ScratchDir game;
    test::WriteFile(game.Path() / "restore.mod", "");
    test::WriteFile(game.Path() / "Data" / "m0", "mod");
    const auto report =
        CheckScript(game / "mod.dat", "Rename(a, b)\nRenameEx(SrdwLaunch.log, Data\\m0, log.bak)\n",
                    {game / "", ""});
    const auto found = Found(report);
    EXPECT_NE(std::find(found.begin(), found.end(), "install-fails@2:10"), found.end())
        << testing::PrintToString(found);
    const std::string out = TextReport(report);
    EXPECT_NE(out.find("is one of the launcher's own files, or holds one; nothing is "
                       "moved!"),
              std::string::npos)
        << out;
}

// A folder and a link to it are one place under two names, which the dry run
// cannot tell for one: it says so rather than predict a file moved twice.
TEST(CheckReportTest, OneFolderUnderTwoNamesIsWarnedOf) {
    const test::ScratchDir game;
    test::WriteFile(game.Path() / "Data" / "a.txt", "a");
    if (!test::MadeFolderLink(game.Path() / "Data", game.Path() / "dl")) {
        GTEST_SKIP() << "no folder links here";
    }
    const auto found = Found(CheckScript(
        game / "mod.dat", "Rename(Data\\a.txt, Data\\b.txt)\nRename(dl\\a.txt, dl\\c.txt)\n",
        {game / "", ""}));
    EXPECT_NE(std::find(found.begin(), found.end(), "two-names"), found.end())
        << testing::PrintToString(found);
}

TEST(CheckReportTest, NoDryRunWithoutAGameDirectory) {
    const auto report = CheckScript("mod.dat", "Rename(a, b)", {"no such directory here", ""});
    EXPECT_EQ(Found(report), std::vector<std::string>{"game-unreadable"});
    EXPECT_FALSE(report.dryRun);
}

}  // namespace
}  // namespace srdw::check
