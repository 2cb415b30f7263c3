// Install applies the commands first to last and records each, and each move,
// in the undo journal; UndoInstall undoes the journal, last move first. Without
// a journal (a marker left by an older launcher) Restore undoes the script last
// command first, each in the directory that was current when it was installed,
// so that chains such as Rename(a, b) then Rename(b, c) come apart in order.
#include <algorithm>
#include <array>

#include "platform/FileSystem.h"
#include "platform/Installed.h"
#include "script/CommandTable.h"
#include "script/FileMoves.h"
#include "script/ModScript.h"
#include "script/PlannedFolder.h"
#include "script/ScriptObserver.h"
#include "script/ScriptText.h"

namespace srdw {

namespace {

// A command that would move one of the launcher's own files, or a folder
// holding one, would leave a crash that cannot be undone, or a recovery that
// writes its log into a game file: it moves nothing.
bool NamesOwnFile(const CommandDefinition& definition, ExpandedArguments arguments,
                  const OwnFiles& ownFiles) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (definition.arguments[i].role != PathRole::Directory && ownFiles.Holds(arguments[i])) {
            Say("ERROR: '");
            Say(arguments[i]);
            Say("' is one of the launcher's own files, or holds one; nothing is moved!\n");
            return true;
        }
    }
    return false;
}

// Names match exactly, letter case included; other names are skipped silently.
// At install the command is recorded in the journal before it moves anything.
void Run(const ScriptCommand& command, std::size_t index, Walk walk, const Placeholders& values,
         UndoJournal* journal, const OwnFiles& ownFiles) {
    const CommandDefinition* definition = FindCommand(command.name);
    if (!definition) {
        return;
    }
    ScriptObserver& outcomes = Outcomes();
    outcomes.CommandStarted(*definition);
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
        outcomes.PathExpanded(source, recorded[i].expanded);
    }
    const ExpandedArguments arguments(expanded.data(), count);
    if (walk == Walk::Install && journal) {
        journal->BeginCommand(static_cast<std::uint32_t>(index), definition->name,
                              std::span(recorded.data(), count));
    }
    if (NamesOwnFile(*definition, arguments, ownFiles)) {
        return outcomes.CommandFinished(Verdict::Failed);
    }
    outcomes.CommandFinished(walk == Walk::Install ? definition->install(arguments)
                                                   : definition->restore(arguments));
}

bool ChangesDirectory(const ScriptCommand& command) {
    const CommandDefinition* definition = FindCommand(command.name);
    return definition && definition->ChangesDirectory();
}

}  // namespace

OsResult ModScript::PlanInstall(const Placeholders& values, UndoJournal& journal) {
    if (!journal.WantsPlan()) {
        return OsResult::Ok();
    }
    journal.BeginPlan(commands_.size());
    {
        PlannedFolder plan(Files());
        // The plan stands in for the file system while the install is rehearsed,
        // and the rehearsal tells nobody what it did.
        const Installed<FileSystem> planning(plan);
        ScriptObserver nobody;
        const Installed<ScriptObserver> quiet(nobody);
        const Installed<UndoJournal> recording(journal);
        for (std::size_t i = 0; i < commands_.size(); ++i) {
            Run(commands_[i], i, Walk::Install, values, &journal, ownFiles_);
        }
    }
    return journal.EndPlan();
}

void ModScript::Install(const Placeholders& values, UndoJournal& journal) {
    Outcomes().WalkStarted(Walk::Install);
    const Installed<UndoJournal> recording(journal);
    installDirectories_.assign({DirectoryStretch{0, Files().WorkingDirectory()}});
    for (std::size_t i = 0; i < commands_.size(); ++i) {
        Run(commands_[i], i, Walk::Install, values, &journal, ownFiles_);
        if (ChangesDirectory(commands_[i])) {
            installDirectories_.push_back({i + 1, Files().WorkingDirectory()});
        }
    }
}

// Without an install in this run (a recovery), the directories of the install
// are found again by installing the directory commands once more from where
// Restore starts, quietly.
std::vector<ModScript::DirectoryStretch> ModScript::ReplayDirectories(
    const Placeholders& values) const {
    std::vector<DirectoryStretch> stretches{{0, Files().WorkingDirectory()}};
    for (std::size_t i = 0; i < commands_.size(); ++i) {
        const CommandDefinition* definition = FindCommand(commands_[i].name);
        if (!definition || !definition->ChangesDirectory()) {
            continue;
        }
        std::array<std::string, kMaxArguments> expanded;
        bool complete = true;
        for (std::size_t a = 0; a < definition->ArgumentCount(); ++a) {
            auto argument = ExpandArgument(commands_[i].Arg(a), values.rootDir, values.commandLine);
            complete = complete && argument.has_value();
            expanded[a] = std::move(argument).value_or(std::string());
        }
        if (complete) {
            static_cast<void>(definition->install(
                ExpandedArguments(expanded.data(), definition->ArgumentCount())));
        }
        stretches.push_back({i + 1, Files().WorkingDirectory()});
    }
    return stretches;
}

void ModScript::Restore(const Placeholders& values) {
    Outcomes().WalkStarted(Walk::Restore);
    std::vector<DirectoryStretch> replayed;
    if (installDirectories_.empty()) {
        replayed = ReplayDirectories(values);
    }
    const auto& stretches = installDirectories_.empty() ? replayed : installDirectories_;
    auto stretch = stretches.rbegin();
    const std::string* current = nullptr;
    for (std::size_t i = commands_.size(); i-- > 0;) {
        while (stretch->firstCommand > i) {
            ++stretch;
        }
        if (current != &stretch->directory) {
            current = &stretch->directory;
            // A directory gone since the install leaves the commands where they are.
            static_cast<void>(Files().ChangeDirectory(*current));
        }
        Run(commands_[i], i, Walk::Restore, values, nullptr, ownFiles_);
    }
}

UndoResult UndoInstall(const JournalContents& journal, UndoJournal* progress) {
    ScriptObserver& outcomes = Outcomes();
    outcomes.WalkStarted(Walk::Restore);
    const UndoChain chain(journal);
    UndoResult result;
    for (std::size_t position = journal.commands.size(); position-- > 0;) {
        const JournalCommand& command = journal.commands[position];
        const CommandDefinition* definition = FindCommand(command.name);
        if (!definition) {
            continue;  // not written by this launcher's install
        }
        outcomes.CommandStarted(*definition);
        for (const auto& argument : command.arguments) {
            outcomes.PathExpanded(argument.source, argument.expanded);
        }
        const bool moved = std::any_of(command.moves.begin(), command.moves.end(),
                                       [](const JournalMove& move) { return !move.failed; });
        Verdict verdict = Verdict::Done;
        if (command.undone) {
            Say(" > put back already by an earlier restore\n");
            verdict = Verdict::UndoneBefore;
        } else if (moved) {
            const std::size_t left = definition->undo(command, chain);
            result.outOfPlace += left;
            if (left == 0 && progress) {
                progress->CommandUndone(position);
            }
            verdict = left == 0 ? Verdict::Done : Verdict::Failed;
        } else if (definition->MovesFiles()) {
            Say(" > nothing to undo: its install moved nothing\n");
            verdict = Verdict::NothingToUndo;
        }
        outcomes.CommandFinished(verdict);
    }
    if (progress) {
        progress->FlushProgress();
    }
    if (result.Complete()) {
        SyncMovedFolders(journal);
    }
    return result;
}

}  // namespace srdw
