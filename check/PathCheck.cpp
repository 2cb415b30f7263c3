#include "check/CheckState.h"

#include <algorithm>
#include <set>

#include "platform/AsciiCase.h"
#include "script/PathExpansion.h"

namespace srdw::check {

namespace {

// An argument as the launcher expands it at install, and what of that its
// author may not expect.
CheckedArgument Expand(Check& check, const ParsedCall& call, std::size_t index) {
    const std::string_view text = call.command.args[index];
    CheckedArgument argument{
        std::string(text), check.Where(text),
        ExpandArgument(text, check.report.gameDirectory, check.report.commandLine)};
    if (!call.info || text.empty()) {
        return argument;  // not used, or reported as empty already
    }
    const std::string role = "the " + std::string(call.info->arguments[index].name);
    if (!argument.install) {
        check.Add(Severity::Error, argument.where, "too-long",
                  role +
                      " expands to more than 511 characters, so the launcher leaves it empty and "
                      "does nothing for this command");
    } else if (argument.install->empty()) {
        check.Add(Severity::Error, argument.where, "empty-argument",
                  role + " expands to nothing, so the launcher does nothing for this command");
    }
    if (ExpandArgument(text, "", "\x01") != ExpandArgument(text, "", "\x02")) {
        std::string message =
            role +
            " uses @cmdline, the player's command line, so where this command moves files "
            "depends on how the game is started";
        if (argument.install) {
            message += " (here: '" + *argument.install + "')";
        }
        check.Add(Severity::Warning, argument.where, "uses-cmdline", message);
    }
    return argument;
}

// The path an argument names, as the launcher resolves it against `current`:
// none for an argument that names none. One outside the game directory is
// reported.
std::optional<ResolvedPath> Resolved(Check& check, const ParsedCall& call, std::size_t index,
                                     const CheckedArgument& argument, const ResolvedPath& current) {
    if (!call.info || !argument.install || argument.install->empty()) {
        return std::nullopt;
    }
    const std::string& expanded = *argument.install;
    ResolvedPath path = Resolve(current, expanded);
    // A drive names a place outside the game on any system, also where it is
    // no drive (on Linux the launcher takes "C:" for a directory's name).
    if (!IsWithin(path, check.game) || (!kWindowsPaths && NamesDrive(expanded))) {
        const std::string role = std::string(call.info->arguments[index].name);
        check.Add(Severity::Warning, argument.where, "outside-game",
                  expanded.find("..") != std::string::npos
                      ? "the " + role + " '" + expanded +
                            "' leads out of the game directory, to '" + path.Text() + "'"
                      : "the " + role + " '" + expanded +
                            "' is outside the game directory, so the mod works only where that "
                            "path exists");
        if (check.outsideCalls.empty() || check.outsideCalls.back() != &call) {
            check.outsideCalls.push_back(&call);
        }
    }
    return path;
}

// Where the paths of the commands so far lead, as the launcher resolves them.
struct PathWalk {
    ResolvedPath current;
    // By PathKey: the line and the command of the last write there.
    std::map<std::string, std::pair<std::size_t, std::string_view>> written;
    std::size_t directoryChange = 0;  // the next in Check::directoryChanges
};

// What a command does with its paths: a rename chain, a second write to one
// place, a directory change. What it takes away goes before what it puts, so
// that a chain is seen before a second write to the same place.
void FollowPaths(Check& check, PathWalk& walk, const ParsedCall& call,
                 const std::vector<std::optional<ResolvedPath>>& paths, bool stays) {
    const auto describe = [](const std::pair<std::size_t, std::string_view>& use) {
        return std::string(use.second) + " on line " + std::to_string(use.first);
    };
    for (const PathRole role : {PathRole::Reads, PathRole::Writes, PathRole::Directory}) {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (call.info->arguments[i].role != role || !paths[i]) {
                continue;
            }
            const std::string what = "the " + std::string(call.info->arguments[i].name);
            const SourcePosition where = check.Where(call.command.args[i]);
            if (role == PathRole::Directory) {
                walk.current = stays ? walk.current : *paths[i];
            } else if (role == PathRole::Reads) {
                const auto earlier = walk.written.find(PathKey(*paths[i]));
                if (earlier != walk.written.end()) {
                    check.Add(Severity::Warning, where, "rename-chain",
                              what + " is what " + describe(earlier->second) +
                                  " puts there: a rename chain. It installs in this order, but "
                                  "when that command fails, this one moves another file or fails "
                                  "too");
                }
            } else {
                const std::pair use(check.WhereClean(call.nameAt).line, call.info->name);
                const auto [earlier, first] = walk.written.emplace(PathKey(*paths[i]), use);
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

// The paths the commands work on, and the commands listed.
void CheckPaths(Check& check) {
    PathWalk walk{check.game, {}, 0};
    for (std::size_t number = 1; number <= check.calls.size(); ++number) {
        const ParsedCall& call = check.calls[number - 1];
        // A directory change the dry run's launcher could not make goes without
        // a word: the commands after it work where it was, and are followed there.
        bool stays = false;
        if (call.info && call.info->ChangesDirectory() &&
            walk.directoryChange < check.directoryChanges.size()) {
            const auto& [path, changed] = check.directoryChanges[walk.directoryChange++];
            stays = !changed;
            if (stays) {
                check.Add(Severity::Warning,
                          call.command.args.empty() ? check.WhereClean(call.nameAt)
                                                    : check.Where(call.command.args[0]),
                          "directory-missing",
                          "'" + path +
                              "' is no directory at install, so the launcher stays where it was "
                              "without a word, and the commands after this one work there");
            }
        }
        const std::string below = RelativePath(walk.current, check.game);
        CheckedCommand command{number,
                               check.WhereClean(call.nameAt),
                               std::string(call.command.name),
                               call.info != nullptr,
                               !IsWithin(walk.current, check.game) ? below
                               : below.empty()                     ? "."
                                               : "." + std::string(1, kSeparator) + below,
                               {}};
        const std::size_t used =
            call.info ? std::min(call.info->ArgumentCount(), call.command.args.size())
                      : call.command.args.size();
        std::vector<std::optional<ResolvedPath>> paths(used);
        for (std::size_t i = 0; i < used; ++i) {
            command.arguments.push_back(Expand(check, call, i));
            paths[i] = Resolved(check, call, i, command.arguments.back(), walk.current);
        }
        if (check.report.commands.size() < kListedCommands) {
            check.report.commands.push_back(std::move(command));
        }
        if (call.info) {
            FollowPaths(check, walk, call, paths, stays);
        }
    }
}

}  // namespace srdw::check
