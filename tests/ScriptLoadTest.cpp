// Reading scripts: cleaning, cutting into calls, and the log lines of a load.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "script/ModScript.h"

namespace srdw::test {
namespace {

// "Name(arg|arg)" for each command, to compare whole command lists at a glance.
std::vector<std::string> Listing(const ModScript& script) {
    std::vector<std::string> listing;
    for (const auto& command : script.Commands()) {
        std::string line = std::string(command.name) + "(";
        for (std::size_t i = 0; i < command.args.size(); ++i) {
            line += (i ? "|" : "") + std::string(command.args[i]);
        }
        listing.push_back(line + ")");
    }
    return listing;
}

class ScriptLoadTest : public ::testing::Test {
  protected:
    // Loads `content` from a file; the log's lines go to `log`.
    bool Load(const std::string& content) {
        WriteFile(dir_ / "test.dat", content);
        LoggedTest logged(dir_);
        const bool loaded = script_.Load(logged.Platform(), logged.Log(), dir_ / "test.dat");
        log_ = logged.Body();
        return loaded;
    }
    std::string LoadingLine() const { return "Loading script: " + (dir_ / "test.dat") + "\n"; }

    ScratchDir dir_;
    ModScript script_;
    std::string log_;
};

using Lines = std::vector<std::string>;

TEST_F(ScriptLoadTest, KeepsQuotedBlanksAndDropsAllOtherWhitespace) {
    ASSERT_TRUE(Load("  RenameEx ( \"my file.txt\" ,\tb c ,\r\n d )\r\n"));
    EXPECT_EQ(Listing(script_), (Lines{"RenameEx(\"my file.txt\"|bc|d)"}));
    EXPECT_EQ(log_, LoadingLine());
}

TEST_F(ScriptLoadTest, EmptyArgumentsAndSeparators) {
    ASSERT_TRUE(Load("A()B(,x);;;C(x,);D(\"a,b\")"));
    EXPECT_EQ(Listing(script_), (Lines{"A()", "B(|x)", "C(x|)", "D(\"a|b\")"}));
}

TEST_F(ScriptLoadTest, StrayTextJoinsTheNextName) {
    ASSERT_TRUE(Load(";Rename(a,b) junk Rename(c,d)"));
    EXPECT_EQ(Listing(script_), (Lines{";Rename(a|b)", "junkRename(c|d)"}));
}

TEST_F(ScriptLoadTest, Comments) {
    ASSERT_TRUE(Load("// only a comment \"with a quote\r\n\r\n   \n"));
    EXPECT_TRUE(script_.Commands().empty());

    ASSERT_TRUE(Load("A(\"x//y\")// trailing\r\nB(z)//end"));
    EXPECT_EQ(Listing(script_), (Lines{"A(\"x//y\")", "B(z)"}));

    // A comment inside a call swallows its ")"; the call goes on on the next line.
    ASSERT_TRUE(Load("A(x// note)\n,y)/B(/z)"));
    EXPECT_EQ(Listing(script_), (Lines{"A(x|y)", "/B(/z)"}));
}

TEST_F(ScriptLoadTest, BytesAboveAsciiStayOnlyInsideQuotes) {
    ASSERT_TRUE(Load("A(\xe9x,\"\xe9y\")"));
    EXPECT_EQ(Listing(script_), (Lines{"A(x|\"\xe9y\")"}));
}

TEST_F(ScriptLoadTest, AnArgumentEndsAtANulInsideQuotes) {
    ASSERT_TRUE(Load(std::string("A(\"x\0y\",z)B(\"\0\")", 16)));
    EXPECT_EQ(Listing(script_), (Lines{"A(\"x|z)", "B(\")"}));
}

TEST_F(ScriptLoadTest, KeepsSixteenArgumentsAndIgnoresTheRest) {
    ASSERT_TRUE(Load("A(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18)B(x)"));
    ASSERT_EQ(script_.Commands().size(), 2u);
    EXPECT_EQ(script_.Commands()[0].args.size(), 16u);
    EXPECT_EQ(script_.Commands()[0].args[15], "16");
    EXPECT_EQ(Listing(script_)[1], "B(x)");
}

// A load error's line is followed by where the error stands, as compilers
// and SrdwCheck name a place; the script keeps it for the player's message.
TEST_F(ScriptLoadTest, ParseErrorKeepsTheCommandsBeforeIt) {
    const std::string place = dir_ / "test.dat";
    EXPECT_FALSE(Load("A(x);B(y);\r\n  trailing"));
    EXPECT_EQ(Listing(script_), (Lines{"A(x)", "B(y)"}));
    const std::string fault = place + ":2:3: 'trailing' is not a call: no '(' follows it";
    EXPECT_EQ(log_, LoadingLine() + "ERROR in script!\n" + fault + "\n");
    EXPECT_EQ(script_.Fault(), fault);

    EXPECT_FALSE(Load("A(x);B(y"));
    EXPECT_EQ(Listing(script_), (Lines{"A(x)"}));
    EXPECT_EQ(script_.Fault(), place + ":1:6: the call 'B(' is never closed by ')'");

    EXPECT_TRUE(Load("A(x)"));
    EXPECT_EQ(script_.Fault(), "");
}

TEST_F(ScriptLoadTest, UnclosedQuoteEmptiesTheScript) {
    const std::string place = dir_ / "test.dat";
    EXPECT_FALSE(Load("A(x);B(\"y)"));
    EXPECT_TRUE(script_.Commands().empty());
    const std::string fault =
        place + ":1:8: this '\"' is never closed: it runs to the end of the file, on line 1";
    EXPECT_EQ(log_, LoadingLine() + "ERROR: Script is incorrect!\n" + fault + "\n");
    EXPECT_EQ(script_.Path(), place);

    // The quote missing on line 1 leaves open the last one, on line 3.
    EXPECT_FALSE(Load("A(\"x y, z)\nB(\"u\", v)\nC(\"w\")\n"));
    EXPECT_EQ(script_.Fault(), place +
                                   ":1:3: this '\"' is not closed on its line: it runs to the '\"' "
                                   "on line 2, and every quote after it pairs with the wrong one, "
                                   "up to the last, on line 3, which is never closed");
}

TEST_F(ScriptLoadTest, UnreadableFilesFailWithoutALogLine) {
    ASSERT_TRUE(Load("A(x)"));
    const std::string loadedPath = script_.Path();

    EXPECT_FALSE(Load(""));  // an empty file is no script
    EXPECT_TRUE(script_.Commands().empty());
    EXPECT_EQ(log_, "");

    LoggedTest logged(dir_);
    EXPECT_FALSE(script_.Load(logged.Platform(), logged.Log(), dir_ / "missing.dat"));
    EXPECT_FALSE(script_.Load(logged.Platform(), logged.Log(), ""));
    EXPECT_EQ(logged.Body(), "");
    EXPECT_EQ(script_.Path(), loadedPath);  // the last file read successfully
}

}  // namespace
}  // namespace srdw::test
