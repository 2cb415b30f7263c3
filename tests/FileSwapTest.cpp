// "RenameEx" triples: swapping in, swapping back, and what each refusal and
// failure leaves behind.
#include <gtest/gtest.h>

#include <functional>

#include "TestSupport.h"
#include "script/FileSwap.h"

namespace srdw::test {
namespace {

class FileSwapTest : public ::testing::Test {
  protected:
    FileSwapTest() : logged_(dir_) {}

    void SetUp() override {
        original_ = dir_ / "Data\\Game File.pak";
        modified_ = dir_ / "Data\\Game File.mod";
        backup_ = dir_ / "Data\\Game File.bak";
        WriteFile(dir_.Path() / "Data" / "Game File.pak", "game");
        WriteFile(dir_.Path() / "Data" / "Game File.mod", "mod");
    }

    Snapshot Files() const { return TakeSnapshot(dir_.Path() / "Data"); }
    void Swap() { SwapFiles(original_, modified_, backup_); }
    void Unswap() { UnswapFiles(original_, modified_, backup_); }

    ScratchDir dir_;
    LoggedTest logged_;
    std::string original_, modified_, backup_;
};

// Moves out of the paths that `fails` picks fail as if another program held them.
class FailingMovePlatform : public TestPlatform {
  public:
    std::function<bool(const std::string&)> fails;
    OsResult MoveNoReplace(const std::string& from, const std::string& to) override {
        if (fails && fails(from)) {
            return {OsError::SharingViolation};
        }
        return TestPlatform::MoveNoReplace(from, to);
    }
};

TEST_F(FileSwapTest, SwapAndUnswapRoundTripKeepingReadOnly) {
    MakeReadOnly(dir_.Path() / "Data" / "Game File.pak");
    const Snapshot before = Files();

    Swap();
    EXPECT_EQ(Files(),
              (Snapshot{{"Game File.bak", {"game", true}}, {"Game File.pak", {"mod", false}}}));
    Unswap();
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(logged_.Body(), "Swapping files...succeeded!\nUnswapping files...succeeded!\n");
}

TEST_F(FileSwapTest, NamesKeepTheirLetterCaseWhateverTheScriptWrites) {
    const Snapshot before = Files();
    const std::string upper = dir_ / "DATA\\GAME FILE.PAK";
    SwapFiles(upper, modified_, backup_);
    EXPECT_EQ(Files(),
              (Snapshot{{"Game File.bak", {"game", false}}, {"Game File.pak", {"mod", false}}}));
    UnswapFiles(upper, modified_, backup_);
    EXPECT_EQ(Files(), before);
}

TEST_F(FileSwapTest, RefusalsLeaveEveryFileWhereItWas) {
    WriteFile(dir_.Path() / "Data" / "Game File.bak", "stale");
    MakeReadOnly(dir_.Path() / "Data" / "Game File.mod");
    const Snapshot before = Files();
    Swap();    // a stale backup from an earlier run
    Unswap();  // nothing was swapped: the modified file is still there
    EXPECT_EQ(Files(), before);

    std::filesystem::remove(dir_.Path() / "Data" / "Game File.bak");
    SwapFiles(dir_ / "Data\\none.pak", modified_, backup_);
    SwapFiles(original_, dir_ / "Data\\none.mod", backup_);
    EXPECT_EQ(logged_.Body(), "Swapping files...FAILED!\n > the backup file '" + backup_ +
                                  "' already exists!\n"
                                  "Unswapping files...FAILED!\n > the modified file '" +
                                  modified_ +
                                  "' still exists!\n"
                                  "Swapping files...FAILED!\n > the original file '" +
                                  dir_ / "Data\\none.pak" +
                                  "' does not exist!\n"
                                  "Swapping files...FAILED!\n > the modified file '" +
                                  dir_ / "Data\\none.mod" + "' does not exist!\n");
}

TEST_F(FileSwapTest, UnswapNamesTheMissingFile) {
    Swap();
    std::filesystem::rename(dir_.Path() / "Data" / "Game File.bak", dir_.Path() / "elsewhere");
    Unswap();
    EXPECT_EQ(logged_.Body(),
              "Swapping files...succeeded!\nUnswapping files...FAILED!\n"
              " > the backup file '" +
                  backup_ + "' does not exist!\n");
    EXPECT_EQ(Files(), (Snapshot{{"Game File.pak", {"mod", false}}}));
}

TEST_F(FileSwapTest, FailedSecondMoveOfASwapIsTakenBack) {
    const Snapshot before = Files();
    FailingMovePlatform platform;
    ScopedOs scope(platform);
    platform.fails = [&](const std::string& from) { return from == modified_; };

    Swap();
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(logged_.Body(), "Swapping files...FAILED!\n > cannot move '" + modified_ +
                                  "'!\n"
                                  " > the first move was undone: moved '" +
                                  backup_ + "' back to '" + original_ + "'\n");
}

TEST_F(FileSwapTest, FailedSecondMoveOfAnUnswapIsTakenBack) {
    MakeReadOnly(dir_.Path() / "Data" / "Game File.pak");
    Swap();
    const Snapshot swapped = Files();
    FailingMovePlatform platform;
    ScopedOs scope(platform);
    platform.fails = [&](const std::string& from) { return from == backup_; };

    Unswap();
    EXPECT_EQ(Files(), swapped);
    platform.fails = nullptr;
    Unswap();  // a later restore still can
    EXPECT_EQ(Files(),
              (Snapshot{{"Game File.mod", {"mod", false}}, {"Game File.pak", {"game", true}}}));
    EXPECT_EQ(logged_.Body(),
              "Swapping files...succeeded!\n"
              "Unswapping files...FAILED!\n > cannot restore '" +
                  backup_ +
                  "'!\n"
                  " > the first move was undone: moved '" +
                  modified_ + "' back to '" + original_ +
                  "'\n"
                  "Unswapping files...succeeded!\n");
}

TEST_F(FileSwapTest, UnswapFinishesASwapCutOffBetweenItsMoves) {
    MakeReadOnly(dir_.Path() / "Data" / "Game File.pak");
    const Snapshot before = Files();
    std::filesystem::rename(dir_.Path() / "Data" / "Game File.pak",
                            dir_.Path() / "Data" / "Game File.bak");
    Unswap();
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(logged_.Body(),
              "Unswapping files...succeeded!\n > the swap had been interrupted: "
              "moved '" +
                  backup_ + "' back to '" + original_ + "'\n");
}

}  // namespace
}  // namespace srdw::test
