// SrdwCheck's check of a script: what the launcher's reader and parser do to it
// that its author may not expect (a load that fails, names it skips, arguments
// it drops, comments and quotes that cut calls where the author did not); the
// paths its commands work on, as the launcher expands and resolves them at
// install; and the dry run, in which the launcher's own script engine installs
// and restores the script on a model of the game directory.
#include "check/ScriptCheck.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <set>
#include <utility>

#include "app/CommandLine.h"
#include "log/RunLog.h"
#include "platform/AsciiCase.h"
#include "platform/FileSystem.h"
#include "script/CommandTable.h"
#include "script/FolderModel.h"
#include "script/ModScript.h"
#include "script/OwnFiles.h"
#include "script/PathExpansion.h"
#include "script/PathModel.h"
#include "script/ScriptObserver.h"
#include "script/ScriptText.h"
#include "script/UndoJournal.h"

namespace srdw::check {

namespace {

// A check under way: the script as the launcher reads it, and the report so far.
struct Check {
    explicit Check(std::string_view source) : map(source) {}

    void Add(Severity severity, std::optional<SourcePosition> where, std::string code,
             std::string message) {
        FindingTally& tally =
            report.tallies.try_emplace(code, FindingTally{severity}).first->second;
        if (tally.count++ < kListedFindingsPerCode) {
            report.findings.push_back({severity, where, std::move(code), std::move(message)});
        }
    }
    SourcePosition Where(std::string_view inClean) const {
        return map.PositionOf(map.SourceOffset(CleanOffset(inClean)));
    }
    std::size_t CleanOffset(std::string_view inClean) const {
        return static_cast<std::size_t>(inClean.data() - map.CleanText().data());
    }
    // Where a call's "(" and ")" stand in the cleaned text.
    std::size_t OpenAt(const ScriptCommand& call) const {
        return CleanOffset(call.name) + call.name.size();
    }
    std::size_t CloseAt(const ScriptCommand& call) const {
        return map.CleanText().find(')', OpenAt(call) + 1);
    }

    SourceMap map;
    std::vector<std::string_view> arguments;  // what the calls' arguments view
    std::vector<ScriptCommand> calls;
    std::vector<const ScriptCommand*> known;  // the calls of commands: those the engine runs
    std::size_t reach = 0;                    // where the parse of the calls stopped, if it ran
    ResolvedPath game;                        // "@rootdir"
    CheckReport report;
    // Each directory change the install asked for, in the script's order, and
    // whether the dry run's launcher went there; none without a dry run.
    std::vector<FolderModel::DirectoryChange> directoryChanges;
    std::vector<const ScriptCommand*> outsideCalls;  // those that work outside the game directory
    std::vector<std::string> unmodelled;             // the paths outside it the dry run looked at
};

// "a", "a and b", "a, b and c"; past `named` and one more, cut short: "a, b,
// c and 3 more".
std::string Enumerate(std::vector<std::string> items, std::size_t named = SIZE_MAX) {
    if (items.size() > named && items.size() - named > 1) {
        const std::size_t more = items.size() - named;
        items.resize(named);
        items.push_back(std::to_string(more) + " more");
    }
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    }
    return text;
}

// The edits (a letter left out, added, changed, or two swapped) that make one
// name of the other, letter case aside.
std::size_t EditDistance(std::string_view a, std::string_view b) {
    const auto same = [&](std::size_t i, std::size_t j) {
        return LowerAscii(a[i]) == LowerAscii(b[j]);
    };
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) {
        for (std::size_t j = 0; j <= b.size(); ++j) {
            if (i == 0 || j == 0) {
                d[i][j] = i + j;
                continue;
            }
            d[i][j] = std::min(
                {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (same(i - 1, j - 1) ? 0 : 1)});
            if (i > 1 && j > 1 && same(i - 1, j - 2) && same(i - 2, j - 1)) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

// The command a mistyped name most likely meant: one or two edits away, and
// fewer than a quarter of its letters.
const CommandDefinition* NearestCommand(std::string_view name) {
    const CommandDefinition* nearest = nullptr;
    std::size_t best = 3;
    for (const auto& known : CommandTable()) {
        if (name.size() > known.name.size() + 2 || known.name.size() > name.size() + 2) {
            continue;  // more edits than that in the lengths alone
        }
        const std::size_t distance = EditDistance(name, known.name);
        if (distance < best && distance * 4 < known.name.size()) {
            nearest = &known;
            best = distance;
        }
    }
    return nearest;
}

// The command whose name `text` ends with, letter case aside; no command's
// name ends with another's, so there is one at most.
const CommandDefinition* NameAtEnd(std::string_view text) {
    const auto table = CommandTable();
    const auto known = std::ranges::find_if(table, [text](const CommandDefinition& command) {
        return text.size() >= command.name.size() &&
               EqualIgnoringCase(text.substr(text.size() - command.name.size()), command.name);
    });
    return known == table.end() ? nullptr : &*known;
}

void CheckLoad(Check& check) {
    const SourceMap& map = check.map;
    if (map.Source().empty()) {
        check.Add(Severity::Error, std::nullopt, "empty-script",
                  "the file is empty; the launcher does not load an empty script");
        return;
    }
    if (check.report.loaded) {
        if (check.calls.empty()) {
            check.Add(Severity::Warning, std::nullopt, "no-commands",
                      "the script has no commands; the launcher installs nothing");
        }
        return;
    }
    const LoadFault fault = FindLoadFault(map, check.reach);
    check.Add(Severity::Error, map.PositionOf(fault.at), std::string(fault.code),
              fault.what + ", so the launcher refuses the whole script (log: \"" +
                  std::string(fault.logLine) + "\")");
}

void CheckName(Check& check, const ScriptCommand& call) {
    const std::string_view name = call.name;
    const SourcePosition where = check.Where(name);
    if (name.empty()) {
        check.Add(Severity::Warning, where, "call-without-name",
                  "this call has no command name; the launcher skips it without a word");
        return;
    }
    // Why the name is no command's, and what the author likely meant.
    const CommandDefinition* known = NameAtEnd(name);
    const std::string_view glued = known ? name.substr(0, name.size() - known->name.size()) : "";
    std::string why;
    std::string hint;
    if (!glued.empty()) {
        why = ": '" + Excerpt(glued) + "' stands before '" + std::string(known->name) +
              "' and is glued to its name";
        hint = ". Remove it, or end the line before it with ';' or ')'.";
    } else if (const CommandDefinition* meant = known ? known : NearestCommand(name)) {
        why = known ? ": names must match in letter case" : "";
        hint = ". Did you mean '" + std::string(meant->name) + "'?";
    } else {
        std::vector<std::string> names;
        for (const auto& command : CommandTable()) {
            names.emplace_back(command.name);
        }
        hint = "; the commands are " + Enumerate(names);
    }
    check.Add(Severity::Warning, where,
              !known          ? "unknown-command"
              : glued.empty() ? "command-case"
                              : "glued-word",
              "'" + Excerpt(name) + "' is not a command" + why +
                  ", so the launcher skips this call without a word" + hint);
}

// A call that lost its ")" runs on into the next one, whose name and "(" end
// up in one of its arguments; the ")" of that next call closes both. True when
// an argument holds a command's name and "(" so.
bool CheckSwallowedCall(Check& check, const ScriptCommand& call, const CommandDefinition* info) {
    for (std::size_t i = 0; i < call.args.size(); ++i) {
        const std::string_view argument = call.args[i];
        for (auto open = argument.find('('); open != std::string_view::npos;
             open = argument.find('(', open + 1)) {
            if (const CommandDefinition* known = NameAtEnd(argument.substr(0, open))) {
                const std::string_view inner = argument.substr(open - known->name.size());
                const std::string role = info && i < info->ArgumentCount()
                                             ? "the " + std::string(info->arguments[i].name)
                                             : "an argument it ignores";
                const std::size_t line = check.Where(inner).line;
                check.Add(Severity::Error, check.Where(argument), "swallowed-call",
                          "this argument runs on into the call '" + std::string(known->name) +
                              "(' on line " + std::to_string(line) + ": the call to '" +
                              Excerpt(call.name) + "' on line " +
                              std::to_string(check.Where(call.name).line) +
                              " lost its ')', so the launcher takes '" + Excerpt(argument) +
                              "' for " + role + " and never runs the call on line " +
                              std::to_string(line) + ". Close the call with ')'.");
                return true;
            }
        }
    }
    return false;
}

// `swallowed`: the call runs on into the next one, which says why it has an
// argument too many.
void CheckArgumentCount(Check& check, const ScriptCommand& call, const CommandDefinition& info,
                        bool swallowed) {
    const std::string name(info.name);
    const std::size_t uses = info.ArgumentCount();
    const std::string used = Plural(uses, "argument") + " (" + info.ArgumentNames() + ")";
    const std::string consequence = info.ChangesDirectory()
                                        ? "the launcher stays in the current directory"
                                        : "the launcher does nothing for this command";
    // As written, also past the 16 that are kept.
    const std::size_t openAt = check.OpenAt(call);
    const std::size_t closeAt = check.CloseAt(call);
    const auto list = check.map.CleanText().substr(openAt + 1, closeAt - openAt - 1);
    const std::size_t given =
        list.empty() ? 0 : 1 + static_cast<std::size_t>(std::count(list.begin(), list.end(), ','));
    if (given < uses) {
        // Where the missing argument would stand: at the ")".
        check.Add(
            Severity::Error, check.Where(check.map.CleanText().substr(closeAt)), "missing-argument",
            name + " needs " + used + " but has " + std::to_string(given) + "; " + consequence);
    }
    for (std::size_t i = 0; i < std::min(uses, call.args.size()); ++i) {
        if (call.args[i].empty()) {
            check.Add(Severity::Error, check.Where(call.args[i]), "empty-argument",
                      "the " + std::string(info.arguments[i].name) + " of " + name + " is empty; " +
                          consequence);
        }
    }
    if (given > uses && !swallowed) {
        // The parser keeps more arguments than any command uses: the first extra one is there.
        check.Add(Severity::Warning, check.Where(call.args[uses]), "extra-arguments",
                  name + " uses " + used + "; the launcher ignores the " +
                      std::to_string(given - uses) + " after " + (uses == 1 ? "it" : "them"));
    }
}

// A quoted run keeps its blanks, but the parser does not know quotes. Nor
// does the reader know lines: it pairs quotes in order, so a quoted run that
// goes on past the end of its line is most likely a quote missing there, and
// every run after it is paired wrongly. Where that leaves the last quote open,
// the load error names that line, and the runs from there on are not the
// author's.
void CheckQuotes(Check& check) {
    const SourceMap& map = check.map;
    const auto& runs = map.QuotedRuns();
    const auto crossing =
        std::ranges::find_if(runs, [&](const SourceSpan& run) { return !map.OnOneLine(run); });
    const std::size_t notTheAuthorsFromLine = map.UnclosedQuote() && crossing != runs.end()
                                                  ? map.PositionOf(crossing->at).line
                                                  : SIZE_MAX;
    std::size_t chainEndsOnLine = 0;  // of the last run that crossed a line end
    for (const auto& run : runs) {
        const SourcePosition opens = map.PositionOf(run.at);
        const std::size_t closesOnLine = map.PositionOf(run.at + run.length - 1).line;
        if (opens.line >= notTheAuthorsFromLine) {
            return;
        }
        if (closesOnLine != opens.line) {
            if (opens.line != chainEndsOnLine) {
                check.Add(Severity::Warning, opens, "quoted-line-end",
                          "this '\"' is not closed on its line: the launcher takes everything "
                          "up to the '\"' on line " +
                              std::to_string(closesOnLine) +
                              " as one quoted run, line end included, and pairs the quotes "
                              "after it from there. Is a '\"' missing on line " +
                              std::to_string(opens.line) + "?");
            }
            chainEndsOnLine = closesOnLine;
            continue;
        }
        if (opens.line == chainEndsOnLine) {
            continue;  // between two quotes that are paired wrongly
        }
        const std::string_view inside = map.Source().substr(run.at + 1, run.length - 2);
        if (const auto nul = inside.find('\0'); nul != std::string_view::npos) {
            check.Add(Severity::Warning, map.PositionOf(run.at + 1 + nul), "nul-byte",
                      "this NUL byte ends the argument for the launcher, quotes or not: it "
                      "leaves out the rest, up to the next ',' or ')'");
        }
        const auto special = inside.find_first_of(",)");
        if (special == std::string_view::npos) {
            continue;
        }
        check.Add(Severity::Warning, map.PositionOf(run.at + 1 + special), "quoted-separator",
                  std::string("this '") + inside[special] +
                      "' is inside quotes, but the launcher does not know quotes: it still " +
                      (inside[special] == ',' ? "ends the argument here" : "ends the call here"));
    }
}

// A "//" inside a call drops the rest of its line, and what the author meant to
// close there closes somewhere later. True when a comment after its "(" took
// its ")" along: the comment's finding says why the call runs on.
bool CheckComments(Check& check, const ScriptCommand& call) {
    const SourceMap& map = check.map;
    const auto& comments = map.Comments();
    bool ateClose = false;
    for (auto comment = std::ranges::upper_bound(comments, check.CleanOffset(call.name), {},
                                                 &CommentSpan::clean);
         comment != comments.end() && comment->clean <= check.CloseAt(call); ++comment) {
        const std::size_t cleanAt = comment->clean;
        const std::string_view text = map.Source().substr(comment->at, comment->length);
        const bool swallowsClose = text.find(')') != std::string_view::npos;
        const bool cutsArgument =
            comment->at > 0 && static_cast<unsigned char>(map.Source()[comment->at - 1]) > 0x20 &&
            cleanAt > check.OpenAt(call) + 1 && map.CleanText()[cleanAt - 1] != ',';
        ateClose = ateClose || (swallowsClose && cleanAt > check.OpenAt(call));
        if (!swallowsClose && !cutsArgument) {
            continue;  // a note between arguments
        }
        const std::string callName =
            "'" + Excerpt(call.name) + "' on line " + std::to_string(check.Where(call.name).line);
        check.Add(Severity::Warning, map.PositionOf(comment->at), "comment-in-call",
                  swallowsClose
                      ? "this '//' starts a comment inside the call to " + callName +
                            ": the launcher drops the rest of the line, ')' included, and the "
                            "call goes on with the next line"
                      : "this '//' inside an argument of " + callName +
                            " starts a comment: the launcher drops the rest of the line and "
                            "joins the argument to the next line. Write the path without '//'.");
    }
    return ateClose;
}

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
        check.Add(Severity::Warning, argument.where, "uses-cmdline",
                  "the " + name +
                      " uses @cmdline, the player's command line, so where this command moves "
                      "files depends on how the game is started" +
                      (argument.install ? " (here: '" + *argument.install + "')" : ""));
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
                  "the " + name + " '" + expanded +
                      (expanded.find("..") != std::string::npos
                           ? "' leads out of the game directory, to '" + path.Text() + "'"
                           : "' is outside the game directory, so the mod works only where "
                             "that path exists"));
        if (check.outsideCalls.empty() || check.outsideCalls.back() != &call) {
            check.outsideCalls.push_back(&call);
        }
    }
    return path;
}

// By PathKey: the last command that writes there, "Rename on line 2".
using Writes = std::map<std::string, std::string>;

// What a command does with its paths: a rename chain, a second write to one
// place, a directory change (unless it `stays`). What it takes away goes
// before what it puts, so that a chain is seen before a second write to the
// same place.
void FollowPaths(Check& check, const ScriptCommand& call, const CommandDefinition& info,
                 const std::vector<std::optional<ResolvedPath>>& paths, bool stays,
                 ResolvedPath& current, Writes& written) {
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
                              what + " is what " + earlier->second +
                                  " puts there: a rename chain. It installs in this order, but "
                                  "when that command fails, this one moves another file or fails "
                                  "too");
                }
            } else {
                const std::string use = std::string(info.name) + " on line " +
                                        std::to_string(check.Where(call.name).line);
                const auto [earlier, first] = written.emplace(PathKey(*paths[i]), use);
                if (!first) {
                    check.Add(Severity::Warning, where, "same-target",
                              what + " '" + paths[i]->Text() + "' is written by " +
                                  earlier->second +
                                  " too; the second command finds the first one's file there "
                                  "or fails");
                    earlier->second = use;
                }
            }
        }
    }
}

// The paths the commands work on, and the commands listed.
void CheckPaths(Check& check) {
    ResolvedPath current = check.game;
    Writes written;
    std::size_t directoryChange = 0;  // the next in Check::directoryChanges
    for (const ScriptCommand& call : check.calls) {
        const CommandDefinition* info = FindCommand(call.name);
        // A directory change the dry run's launcher could not make goes without
        // a word: the commands after it work where it was, and are followed there.
        bool stays = false;
        if (info && info->ChangesDirectory() && directoryChange < check.directoryChanges.size()) {
            const auto& [path, changed] = check.directoryChanges[directoryChange++];
            stays = !changed;
            if (stays && !path.empty()) {  // an empty or too long one is an error already
                check.Add(Severity::Warning,
                          check.Where(call.args.empty() ? call.name : call.args[0]),
                          "directory-missing",
                          "'" + path +
                              "' is no directory at install, so the launcher stays where it was "
                              "without a word, and the commands after this one work there");
            }
        }
        const std::string below = RelativePath(current, check.game);
        CheckedCommand command{check.Where(call.name),
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

// What the dry run's launcher writes its log into: the lines of a walk, kept
// as a report lists them until the walk's log is taken; nothing more of them
// is kept, so that a huge script's dry run does not hold its logs whole.
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

    WalkLog Take() {
        if (!line_.empty()) {
            Line();
        }
        return std::exchange(log_, {});
    }

  private:
    void Line() {
        if (log_.lines.size() < kListedLogLines) {
            log_.lines.push_back(std::move(line_));
        } else {
            ++log_.leftOut;
        }
        line_.clear();
    }

    std::string line_;  // the line being written
    WalkLog log_;
};

// One walk of the dry run (an install, a restore, a recovery) as it is
// followed: what the engine tells passes on to the run log. Each command the
// engine's verdict says failed is reported, with `failing` ("install" or
// "restore"; none for the recovery), at the call that ran there; restore runs
// the commands last to first. A command that looked outside the game directory
// is left out: what the model found there is not the disk's.
class FollowedWalk final : public ScriptObserver {
  public:
    FollowedWalk(Check& check, ScriptObserver& log, const FolderModel& model,
                 std::string_view failing)
        : log_(log), check_(check), model_(model), failing_(failing) {}

    // The log hears everything first, as it would without the dry run, but
    // the walk's heading: the report gives each walk a heading of its own.
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
        const auto& known = check_.known;
        if (verdict == Verdict::Failed && !failing_.empty() && command_ < known.size() &&
            model_.OutsideLooks() == looksBefore_) {
            Failed(*known[failing_ == "restore" ? known.size() - 1 - command_ : command_]);
        }
        ++command_;
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
            if (line.empty()) {
                continue;
            }
            const bool blamedBefore = blamed.has_value();
            std::size_t lastAt = 0;
            for (std::size_t i = 0; i < paths_.size() && !blamedBefore; ++i) {
                const auto at = paths_[i].empty() ? std::string_view::npos : line.rfind(paths_[i]);
                if (at != std::string_view::npos && (!blamed || at > lastAt)) {
                    blamed = i;
                    lastAt = at;
                }
            }
            oneLine += oneLine.empty() ? "" : " ";
            oneLine += line.substr(std::min(line.find_first_not_of(' '), line.size()));
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
    std::size_t command_ = 0;         // the running command, in the order the walk runs them
    std::size_t looksBefore_ = 0;     // outside the game directory, before it started
    std::vector<std::string> paths_;  // the running command's arguments, expanded and quoted
    std::string words_;               // the running command's
};

// Notes what the dry run leaves out because it cannot be read (a folder that
// cannot be listed, a path too long to look up), each with why. The
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
            if (!attributes) {
                unread(path, "cannot be read");
            } else if (attributes->directory && !disk.IsLink(path.Text())) {
                directories.push_back(std::move(path));
            }
        }
        if (listing.error != OsError::None) {
            unread(directory, failure(listing.error));
        }
    }
    return true;
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
    // What lies below a moved folder joins the changes, and is looked into in
    // turn when it is a folder, but not through a link.
    for (std::size_t i = 0, held = changes.size(); i < changes.size(); ++i) {
        if (!changes[i].directory || changes[i].now.Text() == changes[i].was.Text() ||
            (i >= held && disk.IsLink(changes[i].was.Text()))) {
            continue;
        }
        const ResolvedPath now = changes[i].now;  // copies: the changes grow
        const ResolvedPath was = changes[i].was;
        for (const std::string& name : disk.ListDirectory(was.Text()).names) {
            FolderModel::Change below{now, was};
            below.now.parts.push_back(name);
            below.was.parts.push_back(name);
            const auto attributes = disk.Attributes(below.was.Text());
            if (attributes && !own.contains(PathKey(below.was))) {
                below.directory = attributes->directory;
                changes.push_back(std::move(below));
            }
        }
    }
    std::ranges::sort(changes, {}, [by](const FolderModel::Change& change) {
        return std::pair(PathKey(change.*by), (change.*by).Text());
    });
    return changes;
}

// The entries whose path, letter case or attributes differ from the start, one
// line each, in the order of where they were, each also an error `code` that
// says it `after` what; what was moved out of the game directory is left out,
// for the model cannot follow it.
std::vector<std::string> Differences(Check& check, const FolderModel& model, const char* code,
                                     const std::string& after) {
    const ResolvedPath& game = check.game;
    const auto state = [](bool readOnly) { return readOnly ? "read-only" : "writable"; };
    std::vector<std::string> differences;
    for (const auto& change : AllChanges(model, &FolderModel::Change::was)) {
        const std::string name = RelativePath(change.was, game);
        const bool moved = change.now.Text() != change.was.Text();
        if (!IsWithin(change.now, game) || (!moved && change.readOnlyNow == change.readOnlyWas)) {
            continue;
        }
        const bool caseOnly = PathKey(change.now) == PathKey(change.was);
        differences.push_back(
            moved ? "'" + name + "' is now at '" + RelativePath(change.now, game) + "'" +
                        (caseOnly ? " (only the letter case differs: spell the name in "
                                    "the script as it is on disk)"
                                  : "")
                  : "'" + name + "' was " + state(change.readOnlyWas) + " and is now " +
                        state(change.readOnlyNow));
        check.Add(Severity::Error, std::nullopt, code, after + differences.back());
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

// Install and restore on a model of the game directory, with the launcher's
// logs of both and of a recovery after a crash; the commands that fail there,
// but for those that looked outside the game directory; and what is not put
// back.
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
    // The launcher's run log, on the model's clock; its header goes nowhere.
    auto tap = std::make_unique<LogTap>();
    LogTap& heard = *tap;
    RunLog log(model);
    log.Open(std::move(tap));
    log.Flush();
    static_cast<void>(heard.Take());
    const auto follow = [&](std::string_view failing, const auto& steps) {
        FollowedWalk walk(check, log, model, failing);
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
        if (model.SawTwoNames()) {
            // The model knows a place by its name: one folder under two names is
            // two to it, and what it says of both may not hold.
            check.Add(Severity::Warning, std::nullopt, "two-names",
                      "the install reaches one folder under two paths (through a link): the dry "
                      "run takes them for two folders, so what it tells of the files in them may "
                      "not hold; the launcher finds this out, and records each move before it "
                      "makes it");
        }
        for (const auto& change : AllChanges(model, &FolderModel::Change::now)) {
            if (change.now.Text() != change.was.Text()) {
                result.whileGameRuns.push_back({RelativePath(change.now, check.game),
                                                RelativePath(change.was, check.game),
                                                change.directory});
            }
        }
        result.restore = follow("restore", [&](const Engine& engine) {
            static_cast<void>(model.ChangeDirectory(rootDir));  // as the launcher does
            UndoInstall(engine, journal.Contents(), &journal);
        });
        result.notRestored = Differences(check, model, "not-restored", "after restore, ");
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
    result.notRecovered =
        Differences(check, model, "not-recovered",
                    "after a crash while the game runs and the recovery at the next start, ");
    check.unmodelled = model.OutsidePaths();
}

}  // namespace

std::size_t CheckReport::Count(Severity severity) const {
    std::size_t count = 0;
    for (const auto& [code, tally] : tallies) {
        count += tally.severity == severity ? tally.count : 0;
    }
    return count;
}

CheckReport CheckScript(const std::string& scriptPath, std::string_view source,
                        const CheckOptions& options) {
    Check check(source);
    CheckReport& report = check.report;
    report.script = scriptPath;
    report.gameGiven = !options.gameDirectory.empty();
    // A relative directory is taken from where the checker runs; without one,
    // a stand-in.
    check.game = Resolve(ResolveAbsolute(NativeFileSystem().WorkingDirectory()),
                         report.gameGiven ? options.gameDirectory
                         : kWindowsPaths  ? "C:\\<game>"
                                          : "/<game>");
    report.gameDirectory = check.game.Text();
    report.commandLine = PrepareCommandLine(options.commandLine);

    if (!source.empty() && !check.map.UnclosedQuote()) {
        check.reach = ParseCalls(check.map.CleanText(), check.calls, check.arguments);
        report.loaded = check.reach == check.map.CleanText().size();
    }
    report.commandCount = check.calls.size();
    CheckLoad(check);
    for (const auto& call : check.calls) {
        const CommandDefinition* info = FindCommand(call.name);
        const bool swallowed = !CheckComments(check, call) && CheckSwallowedCall(check, call, info);
        if (info) {
            check.known.push_back(&call);
            CheckArgumentCount(check, call, *info, swallowed);
        } else {
            CheckName(check, call);
        }
    }
    CheckQuotes(check);
    if (report.loaded && report.gameGiven) {
        DryRun(check);
    }
    CheckPaths(check);
    // Once, that the dry run does not hold what lies outside the game
    // directory, with the calls that work there.
    if (!check.unmodelled.empty()) {
        std::vector<std::string> paths;
        for (const auto& path : check.unmodelled) {
            paths.push_back("'" + path + "'");
        }
        std::vector<std::string> lines;
        for (const ScriptCommand* call : check.outsideCalls) {
            lines.push_back(std::to_string(check.Where(call->name).line));
        }
        check.Add(Severity::Note, std::nullopt, "not-modelled",
                  "the dry run holds only the game directory and takes what is outside it for "
                  "missing (" +
                      Enumerate(std::move(paths), 3) + ")" +
                      (lines.empty() ? std::string()
                                     : ", so it does not tell what the commands on " +
                                           std::string(lines.size() == 1 ? "line " : "lines ") +
                                           Enumerate(lines, 3) + " do there"));
    }
    // Findings in the order of the script; those about the whole script last.
    std::ranges::stable_sort(report.findings, {}, [](const Finding& finding) {
        return finding.where ? std::pair(finding.where->line, finding.where->column)
                             : std::pair(SIZE_MAX, SIZE_MAX);
    });
    return std::move(check.report);
}

}  // namespace srdw::check
