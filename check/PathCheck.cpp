// SrdwCheck's walk over the paths a script's commands work on, as the launcher
// expands and resolves them at install.
#include <algorithm>
#include <map>
#include <utility>

#include "check/CheckState.h"
#include "script/CommandTable.h"
#include "script/PathExpansion.h"
#include "script/PathModel.h"

namespace srdw::check {

namespace {

// An argument as the launcher expands it at install, added to `arguments`,
// and the path it names as the launcher resolves it against `current`: none
// for an argument that names none. What of them its author may not expect is
// reported.
std::optional<ResolvedPath> Expand(Check& check, const ScriptCommand& call,
                                   const CommandDefinition* info, std::size_t index,
                                   const ResolvedPath& current,
                                   std::vector<CheckedArgument>& arguments) {
    const std::string_view text = call.args[index];
    const CheckedArgument& argument = arguments.emplace_back(CheckedArgument{
        std::string(text), check.Where(text),
        ExpandArgument(text, check.report.gameDirectory, check.report.commandLine)});
    if (!info || text.empty()) {
        return std::nullopt;  // not used, or reported as empty already
    }
    const std::string name(info->arguments[index].name);
    if (!argument.install) {
        check.Add(Severity::Error, argument.where, "too-long",
                  "the " + name +
                      " expands to more than 511 characters, so the launcher leaves it empty and "
                      "does nothing for this command");
    } else if (argument.install->empty()) {
        check.Add(
            Severity::Error, argument.where, "empty-argument",
            "the " + name + " expands to nothing, so the launcher does nothing for this command");
    }
    if (ExpandArgument(text, "", "\x01") != ExpandArgument(text, "", "\x02")) {
        std::string message =
            "the " + name +
            " uses @cmdline, the player's command line, so where this command moves files "
            "depends on how the game is started";
        if (argument.install) {
            message += " (here: '" + *argument.install + "')";
        }
        check.Add(Severity::Warning, argument.where, "uses-cmdline", message);
    }
    if (!argument.install || argument.install->empty()) {
        return std::nullopt;
    }
    const std::string& expanded = *argument.install;
    ResolvedPath path = Resolve(current, expanded);
    // A drive names a place outside the game on any system, also where it is
    // no drive (on Linux the launcher takes "C:" for a directory's name).
    if (!IsWithin(path, check.game) || (!kWindowsPaths && NamesDrive(expanded))) {
        check.Add(Severity::Warning, argument.where, "outside-game",
                  expanded.find("..") != std::string::npos
                      ? "the " + name + " '" + expanded +
                            "' leads out of the game directory, to '" + path.Text() + "'"
                      : "the " + name + " '" + expanded +
                            "' is outside the game directory, so the mod works only where that "
                            "path exists");
        if (check.outsideCalls.empty() || check.outsideCalls.back() != &call) {
            check.outsideCalls.push_back(&call);
        }
    }
    return path;
}

// By PathKey: the line and the command of the last write there.
using Writes = std::map<std::string, std::pair<std::size_t, std::string_view>>;

// What a command does with its paths: a rename chain, a second write to one
// place, a directory change (unless it `stays`). What it takes away goes
// before what it puts, so that a chain is seen before a second write to the
// same place.
void FollowPaths(Check& check, const ScriptCommand& call, const CommandDefinition& info,
                 const std::vector<std::optional<ResolvedPath>>& paths, bool stays,
                 ResolvedPath& current, Writes& written) {
    const auto describe = [](const std::pair<std::size_t, std::string_view>& use) {
        return std::string(use.second) + " on line " + std::to_string(use.first);
    };
    for (const PathRole role : {PathRole::Reads, PathRole::Writes, PathRole::Directory}) {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (info.arguments[i].role != role || !paths[i]) {
                continue;
            }
            const std::string what = "the " + std::string(info.arguments[i].name);
            const SourcePosition where = check.Where(call.args[i]);
            if (role == PathRole::Directory) {
                current = stays ? current : *paths[i];
            } else if (role == PathRole::Reads) {
                const auto earlier = written.find(PathKey(*paths[i]));
                if (earlier != written.end()) {
                    check.Add(Severity::Warning, where, "rename-chain",
                              what + " is what " + describe(earlier->second) +
                                  " puts there: a rename chain. It installs in this order, but "
                                  "when that command fails, this one moves another file or fails "
                                  "too");
                }
            } else {
                const std::pair use(check.Where(call.name).line, info.name);
                const auto [earlier, first] = written.emplace(PathKey(*paths[i]), use);
                if (!first) {
                    check.Add(Severity::Warning, where, "same-target",
                              what + " '" + paths[i]->Text() + "' is written by " +
                                  describe(earlier->second) +
                                  " too; the second command finds the first one's file there "
                                  "or fails");
                    earlier->second = use;
                }
            }
        }
    }
}

}  // namespace

void CheckPaths(Check& check) {
    ResolvedPath current = check.game;
    Writes written;
    std::size_t directoryChange = 0;  // the next in Check::directoryChanges
    for (std::size_t number = 1; number <= check.calls.size(); ++number) {
        const ScriptCommand& call = check.calls[number - 1];
        const CommandDefinition* info = FindCommand(call.name);
        // A directory change the dry run's launcher could not make goes without
        // a word: the commands after it work where it was, and are followed there.
        bool stays = false;
        if (info && info->ChangesDirectory() && directoryChange < check.directoryChanges.size()) {
            const auto& [path, changed] = check.directoryChanges[directoryChange++];
            stays = !changed;
            if (stays) {
                check.Add(Severity::Warning,
                          check.Where(call.args.empty() ? call.name : call.args[0]),
                          "directory-missing",
                          "'" + path +
                              "' is no directory at install, so the launcher stays where it was "
                              "without a word, and the commands after this one work there");
            }
        }
        const std::string below = RelativePath(current, check.game);
        CheckedCommand command{number,
                               check.Where(call.name),
                               std::string(call.name),
                               info != nullptr,
                               !IsWithin(current, check.game) ? below
                               : below.empty()                ? "."
                                               : "." + std::string(1, kSeparator) + below,
                               {}};
        const std::size_t used =
            info ? std::min(info->ArgumentCount(), call.args.size()) : call.args.size();
        std::vector<std::optional<ResolvedPath>> paths;
        for (std::size_t i = 0; i < used; ++i) {
            paths.push_back(Expand(check, call, info, i, current, command.arguments));
        }
        if (check.report.commands.size() < kListedCommands) {
            check.report.commands.push_back(std::move(command));
        }
        if (info) {
            FollowPaths(check, call, *info, paths, stays, current, written);
        }
    }
}

}  // namespace srdw::check
