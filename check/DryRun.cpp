// SrdwCheck's dry run, in which the launcher's own script engine installs and
// restores the script on a model of the game directory.
#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "check/CheckState.h"
#include "log/RunLog.h"
#include "platform/FileSystem.h"
#include "script/CommandTable.h"
#include "script/FolderModel.h"
#include "script/ModScript.h"
#include "script/OwnFiles.h"
#include "script/PathExpansion.h"
#include "script/PathModel.h"
#include "script/ScriptObserver.h"
#include "script/UndoJournal.h"

namespace srdw::check {

namespace {

// What the dry run's launcher writes its log into: the lines after the
// heading of the walk followed, kept as a report lists them; nothing more of
// them is kept, so that a huge script's dry run does not hold its logs whole.
// What comes before a walk (the log's header, a load) is let go when it starts.
class LogTap final : public OutputFile {
  public:
    // The log file's bytes, with CR LF line ends.
    OsResult Write(std::string_view bytes) override {
        for (auto end = bytes.find('\n'); end != std::string_view::npos; end = bytes.find('\n')) {
            line_ += bytes.substr(0, end);
            if (line_.ends_with('\r')) {
                line_.pop_back();
            }
            Line();
            bytes.remove_prefix(end + 1);
        }
        line_ += bytes;
        return OsResult::Ok();
    }
    OsResult SyncToDisk() override { return OsResult::Ok(); }

    void Follow() {
        log_ = {};
        line_.clear();
        skip_ = 2;  // the lines of the heading: "", "Installing script..."
    }
    WalkLog Take() {
        if (!line_.empty()) {
            Line();
        }
        return std::exchange(log_, {});
    }

  private:
    void Line() {
        if (skip_ > 0) {
            --skip_;
        } else if (log_.lines.size() < kListedLogLines) {
            log_.lines.push_back(std::move(line_));
        } else {
            ++log_.leftOut;
        }
        line_.clear();
    }

    std::size_t skip_ = 0;
    std::string line_;  // the line being written
    WalkLog log_;
};

// One walk of the dry run (an install, a restore, a recovery) as it is
// followed: what the engine tells passes on to the run log. Each command the
// engine's verdict says failed is reported, with `failing` ("install" or
// "restore"; none for the recovery), at the call that ran there; restore runs
// the calls last to first. A command that looked outside the game directory
// is left out: what the model found there is not the disk's.
class FollowedWalk final : public ScriptObserver {
  public:
    FollowedWalk(Check& check, ScriptObserver& log, const FolderModel& model,
                 std::string_view failing = {})
        : log_(log), check_(check), model_(model), failing_(failing) {
        for (const auto& call : check.calls) {
            if (FindCommand(call.name)) {
                ran_.push_back(&call);
            }
        }
        if (failing == "restore") {
            std::reverse(ran_.begin(), ran_.end());
        }
    }

    // The log hears everything first, as it would without the dry run.
    void WalkStarted(Walk walk) override { log_.WalkStarted(walk); }
    void CommandStarted(const CommandDefinition& command) override {
        log_.CommandStarted(command);
        looksBefore_ = model_.OutsideLooks();
        paths_.clear();
        words_.clear();
    }
    void PathExpanded(std::string_view source, std::optional<std::string_view> expanded) override {
        log_.PathExpanded(source, expanded);
        paths_.push_back(expanded && !expanded->empty() ? "'" + std::string(*expanded) + "'"
                                                        : std::string());
    }
    void Said(std::string_view words) override {
        log_.Said(words);
        words_ += words;
    }
    void MoveHeld(const std::string& path, unsigned pause) override { log_.MoveHeld(path, pause); }
    void CommandFinished(Verdict verdict) override {
        log_.CommandFinished(verdict);
        if (verdict == Verdict::Failed && !failing_.empty() && command_ < ran_.size() &&
            model_.OutsideLooks() == looksBefore_) {
            Failed(*ran_[command_]);
        }
        ++command_;
        words_.clear();
    }

  private:
    // The words, each line without its leading blanks, the lines joined by a
    // blank; at the argument they blame: on their first line that names one,
    // quoted as the engine quotes a path it speaks of, the one named last
    // ("failed to rename 'a' to 'b'" blames the target, whose folder is what
    // is missing).
    void Failed(const ScriptCommand& call) {
        std::string oneLine;
        std::optional<std::size_t> blamed;
        for (std::string_view words = words_; !words.empty();) {
            const auto end = std::min(words.find('\n'), words.size());
            const std::string_view line = words.substr(0, end);
            words.remove_prefix(std::min(end + 1, words.size()));
            const bool blamedBefore = blamed.has_value();
            if (line.empty()) {
                continue;
            }
            std::size_t lastAt = 0;
            for (std::size_t i = 0; i < paths_.size() && !blamedBefore; ++i) {
                const auto at = paths_[i].empty() ? std::string_view::npos : line.rfind(paths_[i]);
                if (at != std::string_view::npos && (!blamed || at > lastAt)) {
                    blamed = i;
                    lastAt = at;
                }
            }
            const auto text = line.find_first_not_of(' ');
            oneLine += oneLine.empty() ? "" : " ";
            oneLine += text == std::string_view::npos ? std::string_view() : line.substr(text);
        }
        const auto where =
            check_.Where(blamed && *blamed < call.args.size() ? call.args[*blamed] : call.name);
        check_.Add(Severity::Error, where, std::string(failing_) + "-fails",
                   std::string(failing_) + " fails here: " + oneLine);
    }
    ScriptObserver& log_;
    Check& check_;
    const FolderModel& model_;
    std::string_view failing_;
    std::vector<const ScriptCommand*> ran_;  // the calls in the order the walk runs them
    std::size_t command_ = 0;                // the running command, in that order
    std::size_t looksBefore_ = 0;            // outside the game directory, before it started
    std::vector<std::string> paths_;         // the running command's arguments, expanded and quoted
    std::string words_;                      // the running command's
};

// Notes what the dry run leaves out because it cannot be read (a link to
// nothing, a link loop, a folder that cannot be listed), each with why. The
// game directory itself must be listed, or there is no dry run: false then.
bool NoteUnreadPaths(Check& check) {
    FileSystem& disk = NativeFileSystem();
    const ResolvedPath& game = check.game;
    const auto top = disk.Attributes(game.Text());
    if (!top || !top->directory) {
        check.Add(Severity::Error, std::nullopt, "game-unreadable",
                  "no dry run: '" + game.Text() + "' is not a directory");
        return false;
    }
    const auto failure = [](OsError listing) {
        return std::string(listing == OsError::NotFound       ? "not found"
                           : listing == OsError::AccessDenied ? "access denied"
                                                              : "cannot be listed");
    };
    const auto unread = [&](const ResolvedPath& path, const std::string& why) {
        check.Add(Severity::Note, std::nullopt, "unreadable-path",
                  "the dry run cannot read '" + path.Text() + "' (" + why +
                      "), so it takes it for missing");
    };
    // Walked by hand, one directory at a time, links not followed.
    std::vector<ResolvedPath> directories{game};
    while (!directories.empty()) {
        const ResolvedPath directory = std::move(directories.back());
        directories.pop_back();
        const DirectoryListing listing = disk.ListDirectory(directory.Text());
        if (listing.error != OsError::None && directory.parts.size() == game.parts.size()) {
            check.Add(Severity::Error, std::nullopt, "game-unreadable",
                      "no dry run: cannot list '" + game.Text() + "': " + failure(listing.error));
            return false;
        }
        for (const std::string& name : listing.names) {
            ResolvedPath path = directory;
            path.parts.push_back(name);
            const auto attributes = disk.Attributes(path.Text());
            const bool link = disk.IsLink(path.Text());
            if (!attributes) {
                unread(path, link ? "a link to nothing that can be read" : "cannot be read");
            } else if (attributes->directory && !link) {
                directories.push_back(std::move(path));
            }
        }
        if (listing.error != OsError::None) {
            unread(directory, failure(listing.error));
        }
    }
    return true;
}

// Paths as the report gives them: relative to the game directory.
std::string Relative(const ResolvedPath& game, const ResolvedPath& path) {
    return path.parts.size() == game.parts.size() ? path.Text() : RelativePath(path, game);
}

// What the run changed: what the model holds, and what lies below a folder
// it moved, which moved with it unless the run moved it on its own; in the
// order of `by`, where each entry is now or where it was.
std::vector<FolderModel::Change> AllChanges(const FolderModel& model,
                                            ResolvedPath FolderModel::Change::*by) {
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
    std::sort(changes.begin(), changes.end(), [by](const auto& a, const auto& b) {
        return std::pair(PathKey(a.*by), (a.*by).Text()) <
               std::pair(PathKey(b.*by), (b.*by).Text());
    });
    return changes;
}

// The entries whose path, letter case or attributes differ from the start, one
// line each, in the order of where they were; what was moved out of the game
// directory is left out, for the model cannot follow it.
std::vector<std::string> Differences(const ResolvedPath& game, const FolderModel& model) {
    const auto state = [](bool readOnly) { return readOnly ? "read-only" : "writable"; };
    std::vector<std::string> differences;
    for (const auto& change : AllChanges(model, &FolderModel::Change::was)) {
        const std::string name = Relative(game, change.was);
        if (!IsWithin(change.now, game)) {
            continue;
        }
        if (change.now.Text() != change.was.Text()) {
            const bool caseOnly = PathKey(change.now) == PathKey(change.was);
            differences.push_back("'" + name + "' is now at '" + Relative(game, change.now) + "'" +
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

// The install as the launcher makes it, of the script as the checker read
// it: the same bytes, cleaned and parsed by the same code, so not read and
// held twice, with the launcher's own files beside it out of the script's
// reach; the journal started, the plan written, then the commands run. The
// script goes when its install ends: what undoes it is the journal alone.
void InstallOnModel(const Engine& engine, UndoJournal& journal, const Check& check) {
    ModScript modScript;
    modScript.UseParsed(check.map.CleanText(), check.calls);
    std::vector<std::string> own;
    const std::string_view names[] = {kMarkerName,        kJournalName,     "SrdwLaunch.log",
                                      "SrdwLaunch.log.1", "SrdwLaunch.exe", "SrdwLaunch.lock"};
    for (const std::string_view name : names) {
        own.push_back(Resolve(check.game, name).Text());
    }
    modScript.KeepOutOfReach(OwnFiles(own));
    static_cast<void>(journal.Start(engine.files, Resolve(check.game, kJournalName).Text(),
                                    check.report.gameDirectory, FileIdentity{},
                                    modScript.TextChecksum()));
    const Placeholders values{check.report.gameDirectory, check.report.commandLine};
    // The model answers from memory: keeping the rehearsal's look-ups would
    // only double what a long script costs.
    static_cast<void>(modScript.PlanInstall(engine, values, journal, /*keepLookUps=*/false));
    modScript.Install(engine, values, journal);
}

}  // namespace

void DryRun(Check& check) {
    if (!NoteUnreadPaths(check)) {
        return;
    }
    FolderModel model(NativeFileSystem(), check.game);
    const std::string& rootDir = check.report.gameDirectory;
    if (!model.Attributes(Resolve(check.game, "srend.exe").Text())) {
        check.Add(Severity::Note, std::nullopt, "no-game-here",
                  "there is no srend.exe in '" + rootDir +
                      "': the launcher's @rootdir is the folder of the game it starts");
    }
    DryRunResult& result = check.report.dryRun.emplace();
    // The launcher's run log, on the model's clock; what it writes while
    // no walk is followed (its header) goes nowhere.
    auto tap = std::make_unique<LogTap>();
    LogTap& heard = *tap;
    RunLog log(model);
    log.Open(std::move(tap));
    const auto follow = [&](std::string_view failing, const auto& steps) {
        FollowedWalk walk(check, log, model, failing);
        log.Flush();
        heard.Follow();
        steps(Engine{model, walk});
        log.Flush();
        return heard.Take();
    };
    {  // one launch cycle: install, the game, restore
        UndoJournal journal;
        result.install = follow("install", [&](const Engine& engine) {
            InstallOnModel(engine, journal, check);
            static_cast<void>(journal.Finish());
        });
        check.directoryChanges = model.DirectoryChanges();
        for (const auto& change : AllChanges(model, &FolderModel::Change::now)) {
            if (change.now.Text() != change.was.Text()) {
                result.whileGameRuns.push_back({Relative(check.game, change.now),
                                                Relative(check.game, change.was),
                                                change.directory});
            }
        }
        result.restore = follow("restore", [&](const Engine& engine) {
            UndoInstall(engine, journal.Contents(), &journal);
        });
        result.notRestored = Differences(check.game, model);
    }

    // Install, then a crash while the game runs: nothing of the run is left
    // but the changed directory and the journal. The start-up entry then
    // starts a launcher with "/recover", which undoes the journal. Its file
    // holds the records the crashed install kept in memory, so those are
    // undone here: the model keeps no second copy of them.
    model.Reset();
    UndoJournal crashed;
    ScriptObserver quiet;  // the crashed run's log is not the recovery's
    InstallOnModel({model, quiet}, crashed, check);
    // As the launcher at its start, which does not look at the result either.
    static_cast<void>(model.ChangeDirectory(rootDir));
    // What the recovery writes of its progress, the model lets go of.
    result.recovery =
        follow({}, [&](const Engine& engine) { UndoInstall(engine, crashed.Contents()); });
    result.notRecovered = Differences(check.game, model);
    check.unmodelled = model.OutsidePaths();
    for (const auto& difference : result.notRestored) {
        check.Add(Severity::Error, std::nullopt, "not-restored", "after restore, " + difference);
    }
    for (const auto& difference : result.notRecovered) {
        check.Add(
            Severity::Error, std::nullopt, "not-recovered",
            "after a crash while the game runs and the recovery at the next start, " + difference);
    }
}

}  // namespace srdw::check
