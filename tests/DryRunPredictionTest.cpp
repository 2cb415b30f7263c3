// SrdwCheck's dry run against the launcher's engine on a real directory: the
// same log, the same files moved while the game runs, and the same verdict on
// whether restore brings everything back.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

#include "TestSupport.h"
#include "app/CommandLine.h"
#include "check/ScriptCheck.h"
#include "script/ModScript.h"

namespace srdw::test {
namespace {

struct Scenario {
    const char* name;
    std::vector<std::string> files;  // relative, with "/"; a trailing "/" makes a directory,
                                     // a leading "!" a read-only file
    std::string script;
    std::string commandLine = {};
    bool restores = true;       // what the launcher does, and so what must be predicted
    std::string findings = {};  // the dry run's findings, "code@line:column" each
};

void PrintTo(const Scenario& scenario, std::ostream* out) {
    *out << scenario.name;
}

struct Outcome {
    std::string log;  // from "Installing script..." to the end of the restore
    std::vector<std::string> movedFiles;
    bool restored = false;
    std::string recoveryLog;  // from "Restoring script..." on
    bool recovered = false;
};

// Every file holds its own name, so that what stands where can be read off.
void MakeGame(const Scenario& scenario, const fs::path& game) {
    for (std::string file : scenario.files) {
        const bool readOnly = file.starts_with("!");
        file.erase(0, readOnly ? 1 : 0);
        if (file.ends_with("/")) {
            fs::create_directories(game / file);
            continue;
        }
        WriteFile(game / file, file);
        if (readOnly) {
            MakeReadOnly(game / file);
        }
    }
}

// A script loaded for a launch in the game directory, which is current.
std::unique_ptr<ModScript> Load(LoggedTest& logged, const std::string& script) {
    auto loaded = std::make_unique<ModScript>();
    EXPECT_TRUE(loaded->Load(logged.Platform(), logged.Log(), script));
    return loaded;
}

std::string LogFrom(const std::string& body, std::string_view heading) {
    return body.substr(body.find(heading));
}

// Install, a crash while the game runs, then the start-up entry's "/recover" run
// in a copy of the game of its own.
void RecoverForReal(const Scenario& scenario, const std::string& rootDir, const std::string& script,
                    Outcome& outcome) {
    ScratchDir game;
    MakeGame(scenario, game.Path());
    const Snapshot before = TakeSnapshot(game.Path());
    InDirectory inGame(game.Path());
    const std::string commandLine = PrepareCommandLine(scenario.commandLine);
    ScratchDir launcherDir;
    {
        LoggedTest crashing(launcherDir);
        UndoJournal journal;
        const auto installing = Load(crashing, script);
        static_cast<void>(journal.Start(crashing.Platform(), launcherDir / "restore.jnl", rootDir,
                                        {}, installing->TextChecksum()));
        static_cast<void>(
            installing->PlanInstall(crashing.Scripting(), {rootDir, commandLine}, journal));
        installing->Install(crashing.Scripting(), {rootDir, commandLine}, journal);
    }
    fs::current_path(game.Path());
    LoggedTest logged(launcherDir);
    const auto journal = ReadJournal(logged.Platform(), launcherDir / "restore.jnl");
    ASSERT_TRUE(journal.has_value());
    UndoInstall(logged.Scripting(), *journal);
    outcome.recoveryLog = LogFrom(logged.Body(), "\nRestoring script...\n");
    outcome.recovered = TakeSnapshot(game.Path()) == before;
}

// The launcher's own engine on the directory.
Outcome RunForReal(const Scenario& scenario, const ScratchDir& game, const std::string& rootDir,
                   const std::string& script) {
    const Snapshot before = TakeSnapshot(game.Path());
    ScratchDir launcherDir;
    Outcome outcome;
    {
        LoggedTest logged(launcherDir);
        InDirectory inGame(game.Path());
        std::string commandLine = PrepareCommandLine(scenario.commandLine);
        const auto modScript = Load(logged, script);
        UndoJournal journal;
        modScript->Install(logged.Scripting(), {rootDir, commandLine}, journal);
        for (const auto& [path, state] : TakeSnapshot(game.Path())) {
            if (!path.ends_with("/") && state.content != path) {
                outcome.movedFiles.push_back(path + " <- " + state.content);
            }
        }
        std::sort(outcome.movedFiles.begin(), outcome.movedFiles.end());
        UndoInstall(logged.Scripting(), journal.Contents());
        outcome.log = LogFrom(logged.Body(), "\nInstalling script...\n");
    }
    outcome.restored = TakeSnapshot(game.Path()) == before;
    RecoverForReal(scenario, rootDir, script, outcome);
    return outcome;
}

std::string Joined(const check::WalkLog& log) {
    std::string text;
    for (const auto& line : log.lines) {
        text += line + "\n";
    }
    return text;
}

Outcome Predict(const check::CheckReport& report) {
    Outcome outcome;
    if (!report.dryRun) {
        ADD_FAILURE() << "no dry run";
        return outcome;
    }
    const check::DryRunResult& run = *report.dryRun;
    outcome.log = "\nInstalling script...\n" + Joined(run.install) + "\nRestoring script...\n" +
                  Joined(run.restore);
    for (const auto& placement : run.whileGameRuns) {
        if (!placement.directory) {
            outcome.movedFiles.push_back(fs::path(placement.path).generic_string() + " <- " +
                                         fs::path(placement.was).generic_string());
        }
    }
    std::sort(outcome.movedFiles.begin(), outcome.movedFiles.end());
    outcome.restored = run.notRestored.empty();
    outcome.recoveryLog = "\nRestoring script...\n" + Joined(run.recovery);
    outcome.recovered = run.notRecovered.empty();
    return outcome;
}

std::string DryRunFindings(const check::CheckReport& report) {
    std::string found;
    for (const auto& finding : report.findings) {
        if (finding.code == "install-fails" || finding.code == "restore-fails" ||
            finding.code == "not-restored" || finding.code == "not-recovered" ||
            finding.code == "directory-missing") {
            found += (found.empty() ? "" : " ") + finding.code;
            if (finding.where) {
                found += "@" + std::to_string(finding.where->line) + ":" +
                         std::to_string(finding.where->column);
            }
        }
    }
    return found;
}

class DryRunPredictionTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(DryRunPredictionTest, PredictsTheLaunchersRun) {
    const Scenario& scenario = GetParam();
#ifdef _WIN32
    if (std::string_view(scenario.name) == "two_spellings") {
        GTEST_SKIP() << "a Windows folder holds one file under both spellings";
    }
#endif
    ScratchDir game;
    ScratchDir mod;
    MakeGame(scenario, game.Path());
    const std::string script = mod / "mod.dat";
    WriteFile(script, scenario.script);

    const auto report =
        check::CheckScript(script, scenario.script, {game.Path().string(), scenario.commandLine});
    const Outcome predicted = Predict(report);
    const Outcome real = RunForReal(scenario, game, report.gameDirectory, script);

    EXPECT_EQ(predicted.log, real.log);
    EXPECT_EQ(predicted.movedFiles, real.movedFiles);
    EXPECT_EQ(predicted.restored, real.restored);
    EXPECT_EQ(real.restored, scenario.restores) << real.log;
    EXPECT_EQ(predicted.recoveryLog, real.recoveryLog);
    EXPECT_EQ(predicted.recovered, real.recovered);
    EXPECT_EQ(DryRunFindings(report), scenario.findings);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, DryRunPredictionTest,
    ::testing::Values(
        Scenario{
            "sample",
            {"!Data/Textures/Sky.pak", "Data/Textures/Sky.dw", "Data/Maps/World Map.map",
             "Data/Maps/World Map.dw", "Data/Sounds/ambient.snd"},
            "RenameEx(\"@rootdir\\Data\\Textures\\Sky.pak\", \"@rootdir\\Data\\Textures\\Sky.dw\","
            " \"@rootdir\\Data\\Textures\\Sky.bak\");\n"
            "SetDirectory(\"@rootdir\\Data\")\n"
            "RenameEx(\"Maps\\World Map.map\", \"Maps\\World Map.dw\", \"Maps\\World Map.bak\");\n"
            "Rename(Sounds\\ambient.snd, Sounds\\ambient.snd.off);\n"},
        Scenario{"backup_exists",
                 {"a.pak", "a.dw", "a.bak"},
                 "RenameEx(a.pak, a.dw, a.bak)",
                 "",
                 true,
                 "install-fails@1:23"},
        Scenario{"original_misspelt",
                 {"a.pak", "a.dw"},
                 "RenameEx(a.pk, a.dw, a.bak)",
                 "",
                 true,
                 "install-fails@1:10"},
        Scenario{"letter_case",
                 {"Data/Sky.pak", "Data/sky.dw"},
                 "RenameEx(data\\SKY.PAK, DATA\\SKY.DW, data\\sky.bak)"},
        // Two names that differ only in letter case, as a Linux folder (also
        // under Wine) holds them: two files.
        Scenario{"two_spellings", {"Data/Sky.pak", "Data/sky.pak"}, "Rename(Data, Mods)\n"},
        Scenario{"chain", {"a"}, "Rename(a, b)\nRename(b, c)\n"},
        Scenario{"same_backup",
                 {"a", "a.dw", "b", "b.dw"},
                 "RenameEx(a, a.dw, x.bak)\nRenameEx(b, b.dw, x.bak)\n",
                 "",
                 true,
                 "install-fails@2:19"},
        Scenario{"same_original",
                 {"a", "a.one", "a.two"},
                 "RenameEx(a, a.one, a.bak1)\nRenameEx(a, a.two, a.bak2)\n"},
        Scenario{"missing_directory",
                 {"x", "Data/"},
                 "SetDirectory(Nope)\nRename(x, y)\n",
                 "",
                 true,
                 "directory-missing@1:14"},
        // An empty directory is an error of its own, not also a directory that is missing.
        Scenario{"empty_directory", {"x"}, "SetDirectory(\"\")\nRename(x, y)\n"},
        Scenario{"target_exists", {"a", "b"}, "Rename(a, b)", "", true, "install-fails@1:11"},
        Scenario{"into_missing_directory",
                 {"a"},
                 "Rename(a, Nowhere\\a)",
                 "",
                 true,
                 "install-fails@1:11"},
        Scenario{"directory_moves",
                 {"Data/Old/f", "Data/Old/g"},
                 "Rename(Data\\Old, Data\\New)\nRename(Data\\New\\f, Data\\New\\h)\n"},
        Scenario{
            "read_only_swap", {"!game.pak", "mod.pak"}, "RenameEx(game.pak, mod.pak, game.bak)"},
        Scenario{
            "command_line_changes", {"a.txt", "x/"}, "Rename(a.txt, \"x@cmdline\")", "/EDIT-W"},
        Scenario{"nothing_to_restore_from", {"a"}, "Rename(b, a)", "", true, "install-fails@1:8"},
        // The swap's second path went with its first move: the swap fails and
        // is taken back, and its restore does not move the folder away and back.
        Scenario{"second_path_moved_along",
                 {"Data/Maps/x.map"},
                 "Rename(Data, \"q r\")\nRenameEx(\"q r\", \"q r\\Maps\", tmp)\n",
                 "",
                 true,
                 "install-fails@2:17"},
        Scenario{"one_file_by_two_spellings",
                 {"Sky.pak"},
                 "Rename(Sky.pak, new.pak)\nRenameEx(\"new.pak\\.\", \"NEW.PAK\", \"q r\")\n",
                 "",
                 true,
                 "install-fails@2:23"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace srdw::test
