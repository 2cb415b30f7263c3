// The dry run: the launcher's own script engine installs and restores the
// script on a model of the game directory. Its verdicts tell what fails; its
// log is kept to be shown.
#include <algorithm>
#include <memory>
#include <set>

#include "check/CheckSteps.h"
#include "check/WalkLog.h"
#include "check/WalkVerdicts.h"
#include "log/RunLog.h"
#include "log/RunLogObserver.h"
#include "script/FolderModel.h"
#include "script/ModScript.h"

namespace srdw::check {

namespace {

constexpr std::string_view kInstallHeading = "\nInstalling script...\n";
constexpr std::string_view kRestoreHeading = "\nRestoring script...\n";
// Reports each command the engine says failed at the call that ran there;
// restore runs the calls last to first. A command that looked outside the
// game directory is left out: what the model found there is not the disk's.
class FailureFinder {
  public:
    FailureFinder(const ParsedScript& script, bool install, const FolderModel& model,
                  CheckReport& report)
        : script_(script), install_(install), model_(model), report_(report) {
        for (std::size_t i = 0; i < script.calls.size(); ++i) {
            if (script.calls[i].info) {
                ran_.push_back(i);
            }
        }
        if (!install) {
            std::reverse(ran_.begin(), ran_.end());
        }
    }

    void Started() { looksBefore_ = model_.OutsideLooks(); }
    void Failed(std::size_t command, std::optional<std::size_t> argument,
                const std::string& words) {
        if (command >= ran_.size() || model_.OutsideLooks() != looksBefore_) {
            return;
        }
        const ParsedCall& call = script_.calls[ran_[command]];
        const auto& args = call.command.args;
        const auto where = argument && *argument < args.size() ? script_.Where(args[*argument])
                                                               : script_.WhereClean(call.nameAt);
        AddFinding(report_, Severity::Error, where, install_ ? "install-fails" : "restore-fails",
                   std::string(install_ ? "install" : "restore") + " fails here: " + words);
    }

  private:
    const ParsedScript& script_;
    bool install_;
    const FolderModel& model_;
    CheckReport& report_;
    std::vector<std::size_t> ran_;
    std::size_t looksBefore_ = 0;
};

// What the dry run leaves out because it cannot be read: a link to nothing, a
// link loop, a folder that cannot be listed. The game directory itself must
// be listed, or `error` says why.
struct Unread {
    std::string path;
    std::string reason;
};
std::string ListingFailure(OsError error) {
    return error == OsError::NotFound       ? "not found"
           : error == OsError::AccessDenied ? "access denied"
                                            : "cannot be listed";
}
std::vector<Unread> UnreadPaths(const ResolvedPath& game, std::string& error) {
    FileSystem& disk = NativeFileSystem();
    const auto top = disk.Attributes(game.Text());
    if (!top || !top->directory) {
        error = "'" + game.Text() + "' is not a directory";
        return {};
    }
    // Walked by hand, one directory at a time, links not followed.
    std::vector<Unread> unread;
    std::vector<ResolvedPath> directories{game};
    while (!directories.empty()) {
        const ResolvedPath directory = std::move(directories.back());
        directories.pop_back();
        const DirectoryListing listing = disk.ListDirectory(directory.Text());
        for (const std::string& name : listing.names) {
            ResolvedPath path = directory;
            path.parts.push_back(name);
            const auto attributes = disk.Attributes(path.Text());
            const bool link = disk.IsLink(path.Text());
            if (!attributes) {
                unread.push_back(
                    {path.Text(), link ? "a link to nothing that can be read" : "cannot be read"});
            } else if (attributes->directory && !link) {
                directories.push_back(std::move(path));
            }
        }
        if (listing.error != OsError::None) {
            if (directory.parts.size() == game.parts.size()) {
                error = "cannot list '" + game.Text() + "': " + ListingFailure(listing.error);
                return {};
            }
            unread.push_back({directory.Text(), ListingFailure(listing.error)});
        }
    }
    return unread;
}

// Paths as the report gives them: relative to the game directory.
std::string Relative(const LaunchContext& launch, const ResolvedPath& path) {
    return path.parts.size() == launch.game.parts.size() ? path.Text()
                                                         : RelativePath(path, launch.game);
}

// What the run changed: what the model holds, and what lies below a folder
// it moved, which moved with it unless the run moved it on its own; in the
// order of where each entry is now.
std::vector<FolderModel::Change> AllChanges(const FolderModel& model) {
    auto changes = model.Changes();
    std::set<std::string> own;
    for (const auto& change : changes) {
        own.insert(PathKey(change.was));
    }
    FileSystem& disk = NativeFileSystem();
    for (std::size_t i = 0, held = changes.size(); i < held; ++i) {
        if (!changes[i].directory || changes[i].now.Text() == changes[i].was.Text()) {
            continue;
        }
        std::vector<std::pair<ResolvedPath, ResolvedPath>> folders{
            {changes[i].now, changes[i].was}};
        while (!folders.empty()) {
            const auto [now, was] = std::move(folders.back());
            folders.pop_back();
            for (const std::string& name : disk.ListDirectory(was.Text()).names) {
                FolderModel::Change below{now, was};
                below.now.parts.push_back(name);
                below.was.parts.push_back(name);
                const auto attributes = disk.Attributes(below.was.Text());
                if (!attributes || own.contains(PathKey(below.was))) {
                    continue;
                }
                below.directory = attributes->directory;
                below.readOnlyNow = below.readOnlyWas = attributes->readOnly;
                if (below.directory && !disk.IsLink(below.was.Text())) {
                    folders.emplace_back(below.now, below.was);
                }
                changes.push_back(std::move(below));
            }
        }
    }
    std::sort(changes.begin(), changes.end(), [](const auto& a, const auto& b) {
        return std::pair(PathKey(a.now), a.now.Text()) < std::pair(PathKey(b.now), b.now.Text());
    });
    return changes;
}

// What is not where it was at the start.
std::vector<Placement> Moved(const LaunchContext& launch, const FolderModel& model) {
    std::vector<Placement> moved;
    for (const auto& change : AllChanges(model)) {
        if (change.now.Text() != change.was.Text()) {
            moved.push_back(
                {Relative(launch, change.now), Relative(launch, change.was), change.directory});
        }
    }
    return moved;
}

// The entries whose path, letter case or attributes differ from the start, one
// line each, in the order of where they were; what was moved out of the game
// directory is left out, for the model cannot follow it.
std::vector<std::string> Differences(const LaunchContext& launch, const FolderModel& model) {
    auto changes = AllChanges(model);
    std::sort(changes.begin(), changes.end(), [](const auto& a, const auto& b) {
        return std::pair(PathKey(a.was), a.was.Text()) < std::pair(PathKey(b.was), b.was.Text());
    });
    const auto state = [](bool readOnly) { return readOnly ? "read-only" : "writable"; };
    std::vector<std::string> differences;
    for (const auto& change : changes) {
        const std::string name = Relative(launch, change.was);
        if (!IsWithin(change.now, launch.game)) {
            continue;
        }
        if (change.now.Text() != change.was.Text()) {
            const bool caseOnly = PathKey(change.now) == PathKey(change.was);
            differences.push_back("'" + name + "' is now at '" + Relative(launch, change.now) +
                                  "'" +
                                  (caseOnly ? " (only the letter case differs: spell the name in "
                                              "the script as it is on disk)"
                                            : ""));
        } else if (change.readOnlyNow != change.readOnlyWas) {
            differences.push_back("'" + name + "' was " + state(change.readOnlyWas) +
                                  " and is now " + state(change.readOnlyNow));
        }
    }
    return differences;
}

// What the dry run's launcher writes its log into: the walk being followed,
// line by line as it is written, or nowhere.
class WalkTap final : public OutputFile {
  public:
    explicit WalkTap(WalkLog*& walk) : walk_(walk) {}
    OsResult Write(std::string_view bytes) override {
        if (walk_) {
            walk_->Write(bytes);
        }
        return OsResult::Ok();
    }
    OsResult SyncToDisk() override { return OsResult::Ok(); }

  private:
    WalkLog*& walk_;
};

// The launcher's run log in the dry run, on the model's clock.
struct DryLog {
    explicit DryLog(FileSystem& model) : log(model), told(log) {}
    void Open() { log.Open(std::make_unique<WalkTap>(following)); }

    RunLog log;
    RunLogObserver told;
    WalkLog* following = nullptr;
};

// The log of `walk`, from its heading on: the lines a report lists, and how
// many more there are; each failed command goes to `finder`, when given.
template <typename Steps>
std::size_t Record(DryLog& dry, FileSystem& model, std::string_view heading, FailureFinder* finder,
                   std::string& text, Steps walk) {
    WalkLog log(heading, kListedLogLines);
    WalkVerdicts verdicts(
        dry.told,
        finder
            ? WalkVerdicts::FailureSink(
                  [finder](std::size_t command, std::optional<std::size_t> argument,
                           const std::string& words) { finder->Failed(command, argument, words); })
            : nullptr,
        finder ? std::function<void()>([finder] { finder->Started(); }) : nullptr);
    dry.following = &log;
    walk(Engine{model, verdicts});
    dry.log.Flush();
    dry.following = nullptr;
    log.Finish();
    text = log.TakeText();
    return log.LinesLeftOut();
}

// A directory change the launcher could not make goes without a word: the
// commands after it work where it was.
void ReportSilentDirectoryChanges(const ParsedScript& script,
                                  const std::vector<FolderModel::DirectoryChange>& changes,
                                  DryRunFacts& facts, CheckReport& report) {
    std::size_t change = 0;
    for (const auto& call : script.calls) {
        if (!call.info || !call.info->ChangesDirectory() || change >= changes.size()) {
            continue;
        }
        const auto& [path, changed] = changes[change++];
        facts.directoryChanged.push_back(changed);
        if (!changed) {
            const auto where = call.command.args.empty() ? script.WhereClean(call.nameAt)
                                                         : script.Where(call.command.args[0]);
            AddFinding(report, Severity::Warning, where, "directory-missing",
                       "'" + path +
                           "' is no directory at install, so the launcher stays where it was "
                           "without a word, and the commands after this one work there");
        }
    }
}

// Where the launcher would keep its undo journal, in the model too.
std::string ModelJournalPath(const LaunchContext& launch) {
    return Resolve(launch.game, "restore.jnl").Text();
}

// The launcher's load of the script, made of what the checker read: the same
// bytes, cleaned and parsed by the same code, so not read and held twice.
// The launcher's own files beside it are out of the script's reach there too.
void LoadChecked(RunLog& log, ModScript& modScript, const ParsedScript& script,
                 const std::string& scriptPath, const LaunchContext& launch) {
    std::vector<ScriptCommand> commands;
    commands.reserve(script.calls.size());
    for (const auto& call : script.calls) {
        commands.push_back(call.command);
    }
    modScript.UseParsed(log, scriptPath, script.map.CleanText(), std::move(commands));
    std::vector<std::string> own;
    for (const char* name : {"restore.mod", "restore.jnl", "SrdwLaunch.log", "SrdwLaunch.log.1",
                             "SrdwLaunch.exe", "SrdwLaunch.lock"}) {
        own.push_back(Resolve(launch.game, name).Text());
    }
    modScript.KeepOutOfReach(OwnFiles(own));
}

// The install as the launcher makes it: the journal started, the plan
// written, then the commands run.
void InstallOnModel(const Engine& engine, ModScript& modScript, UndoJournal& journal,
                    const LaunchContext& launch) {
    static_cast<void>(journal.Start(engine.files, ModelJournalPath(launch), launch.RootDir(),
                                    FileIdentity{}, modScript.TextChecksum()));
    const std::string rootDir = launch.RootDir();
    const Placeholders values{rootDir, launch.installCommandLine};
    // The model answers from memory: keeping the rehearsal's look-ups would
    // only double what a long script costs.
    static_cast<void>(modScript.PlanInstall(engine, values, journal, /*keepLookUps=*/false));
    modScript.Install(engine, values, journal);
}

// One launch cycle: install, the game, restore, with the log of each.
void RehearseCycle(const ParsedScript& script, const std::string& scriptPath,
                   const LaunchContext& launch, FolderModel& model, DryLog& dry,
                   DryRunResult& result, DryRunFacts& facts, CheckReport& report) {
    dry.Open();
    auto modScript = std::make_unique<ModScript>();
    LoadChecked(dry.log, *modScript, script, scriptPath, launch);
    dry.log.Flush();
    UndoJournal journal;
    FailureFinder installFailures(script, true, model, report);
    result.installLinesLeftOut = Record(dry, model, kInstallHeading, &installFailures,
                                        result.installLog, [&](const Engine& engine) {
                                            InstallOnModel(engine, *modScript, journal, launch);
                                            static_cast<void>(journal.Finish());
                                        });
    modScript.reset();  // the restore needs the journal alone
    ReportSilentDirectoryChanges(script, model.DirectoryChanges(), facts, report);
    result.whileGameRuns = Moved(launch, model);
    FailureFinder restoreFailures(script, false, model, report);
    result.restoreLinesLeftOut =
        Record(dry, model, kRestoreHeading, &restoreFailures, result.restoreLog,
               [&](const Engine& engine) { UndoInstall(engine, journal.Contents(), &journal); });
    dry.log.Close();
    result.notRestored = Differences(launch, model);
}

// Install, then a crash while the game runs: nothing of the run is left but
// the changed directory and the journal. The start-up entry then starts a
// launcher with "/recover", which undoes the journal. Its file holds the
// records the crashed install kept in memory, so those are undone here: the
// model keeps no second copy of them.
void RehearseRecovery(const ParsedScript& script, const std::string& scriptPath,
                      const LaunchContext& launch, FolderModel& model, DryLog& dry,
                      DryRunResult& result) {
    UndoJournal journal;
    {
        ModScript crashed;
        ScriptObserver quiet;  // the crashed run's log is not the recovery's
        LoadChecked(dry.log, crashed, script, scriptPath, launch);
        InstallOnModel({model, quiet}, crashed, journal, launch);
    }
    // As the launcher at its start, which does not look at the result either.
    static_cast<void>(model.ChangeDirectory(launch.RootDir()));
    dry.Open();
    ModScript recovery;
    LoadChecked(dry.log, recovery, script, scriptPath, launch);
    dry.log.Flush();
    result.recoveryLinesLeftOut =
        Record(dry, model, kRestoreHeading, nullptr, result.recoveryLog, [&](const Engine& engine) {
            UndoJournal progress;
            static_cast<void>(progress.Reopen(model, ModelJournalPath(launch)));
            UndoInstall(engine, journal.Contents(), &progress);
        });
    dry.log.Close();
    result.notRecovered = Differences(launch, model);
}

}  // namespace

DryRunFacts DryRun(const ParsedScript& script, const std::string& scriptPath,
                   const LaunchContext& launch, CheckReport& report) {
    DryRunFacts facts;
    std::string error;
    const auto unread = UnreadPaths(launch.game, error);
    if (!error.empty()) {
        AddFinding(report, Severity::Error, std::nullopt, "game-unreadable",
                   "no dry run: " + error);
        return facts;
    }
    FolderModel model(NativeFileSystem(), launch.game);
    for (const auto& [path, reason] : unread) {
        AddFinding(
            report, Severity::Note, std::nullopt, "unreadable-path",
            "the dry run cannot read '" + path + "' (" + reason + "), so it takes it for missing");
    }
    if (!model.Attributes(Resolve(launch.game, "srend.exe").Text())) {
        AddFinding(report, Severity::Note, std::nullopt, "no-game-here",
                   "there is no srend.exe in '" + launch.RootDir() +
                       "': the launcher's @rootdir is the folder of the game it starts");
    }
    DryRunResult result;
    {
        DryLog dry(model);
        RehearseCycle(script, scriptPath, launch, model, dry, result, facts, report);
        model.Reset();
        RehearseRecovery(script, scriptPath, launch, model, dry, result);
        result.unmodelled = model.OutsidePaths();
    }
    report.dryRun = std::move(result);
    return facts;
}

namespace {

// "a, b, c and 3 more": a long list is cut short.
std::string FirstFew(std::vector<std::string> items) {
    constexpr std::size_t kNamed = 3;
    if (items.size() > kNamed + 1) {
        const std::size_t more = items.size() - kNamed;
        items.resize(kNamed);
        items.push_back(std::to_string(more) + " more");
    }
    return Enumerate(items);
}

}  // namespace

void ReportDryRun(const ParsedScript& script, const std::vector<bool>& outside,
                  CheckReport& report) {
    const DryRunResult& run = *report.dryRun;
    for (const auto& difference : run.notRestored) {
        AddFinding(report, Severity::Error, std::nullopt, "not-restored",
                   "after restore, " + difference);
    }
    for (const auto& difference : run.notRecovered) {
        AddFinding(
            report, Severity::Error, std::nullopt, "not-recovered",
            "after a crash while the game runs and the recovery at the next start, " + difference);
    }
    if (run.unmodelled.empty()) {
        return;
    }
    std::vector<std::string> paths;
    for (const auto& path : run.unmodelled) {
        paths.push_back("'" + path + "'");
    }
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < script.calls.size(); ++i) {
        if (outside[i]) {
            lines.push_back(std::to_string(script.WhereClean(script.calls[i].nameAt).line));
        }
    }
    const std::string lineWord = lines.size() == 1 ? "line " : "lines ";
    AddFinding(report, Severity::Note, std::nullopt, "not-modelled",
               "the dry run holds only the game directory and takes what is outside it for "
               "missing (" +
                   FirstFew(std::move(paths)) + ")" +
                   (lines.empty() ? std::string()
                                  : ", so it does not tell what the commands on " + lineWord +
                                        FirstFew(std::move(lines)) + " do there"));
}

}  // namespace srdw::check
