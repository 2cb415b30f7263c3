// Install applies the commands first to last and records each, and each move,
// in the undo journal; UndoInstall undoes the journal, last move first. Without
// a journal (a marker left by an older launcher) Restore undoes the script last
// command first, each in the directory that was current when it was installed,
// so that chains such as Rename(a, b) then Rename(b, c) come apart in order.
#include <array>

#include "script/CommandTable.h"
#include "script/FileMoves.h"
#include "script/FolderModel.h"
#include "script/ModScript.h"
#include "script/ScriptText.h"

namespace srdw {

namespace {

// One walk over the script: what its commands share, the current directory
// among it, which only the directory commands change.
struct Walker {
    const Engine& engine;
    Walk walk;
    const Placeholders& values;
    UndoJournal* journal;  // an install's, which records each command; none otherwise
    const OwnFiles& ownFiles;
    bool directoriesOnly = false;  // runs only the commands that change the directory
    std::string directory = engine.files.WorkingDirectory();
    std::size_t stuck = 0;  // at a restore: commands that could not put back what is there

    // Other names, also in another letter case, are skipped silently.
    // Whether it was a command that changes the directory.
    bool Run(const ScriptCommand& command, std::size_t index) {
        const CommandDefinition* definition = FindCommand(command.name);
        if (!definition || (directoriesOnly && !definition->ChangesDirectory())) {
            return false;
        }
        ScriptObserver& observer = engine.observer;
        observer.CommandStarted(*definition);
        std::array<std::string, kMaxArguments> expanded;
        std::array<JournalArgument, kMaxArguments> recorded;  // views of the script and `expanded`
        const std::size_t count = definition->ArgumentCount();
        for (std::size_t i = 0; i < count; ++i) {
            const std::string_view source = command.Arg(i);
            auto expansion = ExpandArgument(source, values.rootDir, values.commandLine);
            recorded[i].source = source;
            if (expansion) {
                expanded[i] = std::move(*expansion);
                recorded[i].expanded = expanded[i];
            }
            observer.PathExpanded(source, recorded[i].expanded);
        }
        if (journal) {
            journal->BeginCommand(static_cast<std::uint32_t>(index), definition->name,
                                  std::span(recorded.data(), count));
        }
        const CommandRun run{engine,    journal, directory, std::span(expanded.data(), count),
                             &ownFiles, &stuck};
        if (definition->ChangesDirectory()) {
            // A directory that cannot be changed to is no error of the script's:
            // the commands after it work where the launcher is, and nothing is
            // said. Restore puts back the directory from before the command
            // instead.
            if (walk == Walk::Install) {
                static_cast<void>(engine.files.ChangeDirectory(expanded[0]));
                directory = engine.files.WorkingDirectory();
            }
            observer.CommandFinished(Verdict::Done);
            return true;
        }
        observer.CommandFinished(
            Perform(run, walk == Walk::Install ? *definition->install : *definition->restore));
        return false;
    }
};

// Records the directory each stretch of commands ran in, for a restore from
// the script.
template <typename Stretches>
void WalkRecording(Walker& walker, const std::vector<ScriptCommand>& commands,
                   Stretches& stretches) {
    stretches.assign({{0, walker.directory}});
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (walker.Run(commands[i], i)) {
            stretches.push_back({i + 1, walker.directory});
        }
    }
}

}  // namespace

OsResult ModScript::PlanInstall(const Engine& engine, const Placeholders& values,
                                UndoJournal& journal, bool keepLookUps) {
    return journal.Plan(commands_.size(), keepLookUps, [&] {
        // The model stands in for the file system while the install is
        // rehearsed, and the rehearsal tells nobody what it did.
        ownFiles_.Identify(engine.files);  // the journal is there by now
        FolderModel plan(engine.files);
        ScriptObserver nobody;
        const Engine rehearsing{plan, nobody};
        Walker rehearsal{rehearsing, Walk::Install, values, &journal, ownFiles_};
        for (std::size_t i = 0; i < commands_.size(); ++i) {
            rehearsal.Run(commands_[i], i);
        }
        return !plan.SawTwoNames();
    });
}

void ModScript::Install(const Engine& engine, const Placeholders& values, UndoJournal& journal) {
    engine.observer.WalkStarted(Walk::Install);
    ownFiles_.Identify(engine.files);  // and the marker
    Walker install{engine, Walk::Install, values, &journal, ownFiles_};
    WalkRecording(install, commands_, installDirectories_);
}

std::size_t ModScript::Restore(const Engine& engine, const Placeholders& values) {
    engine.observer.WalkStarted(Walk::Restore);
    if (installDirectories_.empty()) {
        // Without an install in this run (a recovery), the directories of the
        // install are found again by installing its directory commands once
        // more from where Restore starts, quietly.
        ScriptObserver nobody;
        const Engine quiet{engine.files, nobody};
        Walker replay{quiet, Walk::Install, values, nullptr, ownFiles_, true};
        WalkRecording(replay, commands_, installDirectories_);
    }
    auto stretch = installDirectories_.rbegin();
    const std::string* current = nullptr;
    ownFiles_.Identify(engine.files);
    Walker restore{engine, Walk::Restore, values, nullptr, ownFiles_};
    for (std::size_t i = commands_.size(); i-- > 0;) {
        while (stretch->firstCommand > i) {
            ++stretch;
        }
        if (current != &stretch->directory) {
            current = &stretch->directory;
            // A directory gone since the install leaves the commands where they are.
            static_cast<void>(engine.files.ChangeDirectory(*current));
            restore.directory = engine.files.WorkingDirectory();
        }
        restore.Run(commands_[i], i);
    }
    return restore.stuck;
}

UndoResult UndoInstall(const Engine& engine, const JournalContents& journal,
                       UndoJournal* progress) {
    ScriptObserver& observer = engine.observer;
    observer.WalkStarted(Walk::Restore);
    std::string directory;  // a journal's paths are full
    UndoResult result;
    std::vector<std::string_view> stuck;  // the paths of moves not put back, the journal's
    for (std::size_t position = journal.commands.size(); position-- > 0;) {
        const JournalCommand& command = journal.commands[position];
        const CommandDefinition* definition = FindCommand(command.name);
        if (!definition) {
            continue;  // not written by this launcher's install
        }
        observer.CommandStarted(*definition);
        for (const auto& argument : command.arguments) {
            observer.PathExpanded(argument.source, argument.expanded);
        }
        Verdict verdict = Verdict::Done;
        if (command.undone) {
            engine.Say(" > put back already by an earlier restore\n");
            verdict = Verdict::UndoneBefore;
        } else if (command.Moved()) {
            const std::size_t left =
                Undo({engine, nullptr, directory, {}, nullptr, nullptr, &result.movedBack},
                     *definition->restore, command, journal, stuck);
            result.outOfPlace += left;
            if (left == 0 && progress) {
                progress->CommandUndone(position);
            }
            verdict = left == 0 ? Verdict::Done : Verdict::Failed;
        } else if (!definition->ChangesDirectory()) {
            engine.Say(" > nothing to undo: its install moved nothing\n");
            verdict = Verdict::NothingToUndo;
        }
        observer.CommandFinished(verdict);
    }
    if (progress) {
        progress->FlushProgress();
    }
    if (result.Complete()) {
        SyncMovedFolders(engine.files, journal);
    }
    return result;
}

}  // namespace srdw
