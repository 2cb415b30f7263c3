// What the launcher's reader and parser do to a script that its author may not
// expect: a load that fails, names it skips, arguments it drops, comments and
// quotes that cut calls where the author did not.
#include <algorithm>

#include "check/CheckSteps.h"
#include "platform/AsciiCase.h"

namespace srdw::check {

namespace {

// "RenameEx, SetDirectory and Rename"
std::string CommandNames() {
    std::vector<std::string> names;
    for (const auto& command : CommandTable()) {
        names.emplace_back(command.name);
    }
    return Enumerate(names);
}

// The edits (a letter left out, added, changed, or two swapped) that make one
// name of the other, letter case aside.
std::size_t EditDistance(std::string_view a, std::string_view b) {
    // Three rows of the table: the one before last, the last, and this one.
    std::vector<std::size_t> before(b.size() + 1);
    std::vector<std::size_t> last(b.size() + 1);
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        last[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const bool same = LowerAscii(a[i - 1]) == LowerAscii(b[j - 1]);
            row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && LowerAscii(a[i - 1]) == LowerAscii(b[j - 2]) &&
                LowerAscii(a[i - 2]) == LowerAscii(b[j - 1])) {
                row[j] = std::min(row[j], before[j - 2] + 1);
            }
        }
        std::swap(before, last);
        std::swap(last, row);
    }
    return last[b.size()];
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

void CheckLoad(const ParsedScript& script, CheckReport& report) {
    const SourceMap& map = script.map;
    if (map.Source().empty()) {
        AddFinding(report, Severity::Error, std::nullopt, "empty-script",
                   "the file is empty; the launcher does not load an empty script");
        return;
    }
    if (script.parsed) {
        if (script.calls.empty()) {
            AddFinding(report, Severity::Warning, std::nullopt, "no-commands",
                       "the script has no commands; the launcher installs nothing");
        }
        return;
    }
    const std::optional<std::size_t> lastClose =
        script.calls.empty() ? std::nullopt : std::optional(script.calls.back().closeAt);
    const LoadFault fault = FindLoadFault(map, lastClose);
    AddFinding(report, Severity::Error, map.PositionOf(fault.at), std::string(fault.code),
               fault.what + ", so the launcher refuses the whole script (log: \"" +
                   std::string(fault.logLine) + "\")");
}

void CheckName(const ParsedScript& script, const ParsedCall& call, CheckReport& report) {
    const std::string_view name = call.command.name;
    const SourcePosition where = script.WhereClean(call.nameAt);
    if (name.empty()) {
        AddFinding(report, Severity::Warning, where, "call-without-name",
                   "this call has no command name; the launcher skips it without a word");
        return;
    }
    for (const auto& known : CommandTable()) {
        if (EqualIgnoringCase(name, known.name)) {
            AddFinding(report, Severity::Warning, where, "command-case",
                       "'" + std::string(name) +
                           "' is not a command: names must match in letter case, so the launcher "
                           "skips this call without a word. Did you mean '" +
                           std::string(known.name) + "'?");
            return;
        }
    }
    for (const auto& known : CommandTable()) {
        if (name.size() > known.name.size() &&
            EqualIgnoringCase(name.substr(name.size() - known.name.size()), known.name)) {
            const std::string_view glued = name.substr(0, name.size() - known.name.size());
            AddFinding(report, Severity::Warning, where, "glued-word",
                       "'" + Excerpt(name) + "' is not a command: '" + Excerpt(glued) +
                           "' stands before '" + std::string(known.name) +
                           "' and is glued to its name, so the launcher skips this call without "
                           "a word. Remove it, or end the line before it with ';' or ')'.");
            return;
        }
    }
    const std::string message =
        "'" + Excerpt(name) + "' is not a command, so the launcher skips this call without a word";
    const CommandDefinition* near = NearestCommand(name);
    AddFinding(report, Severity::Warning, where, "unknown-command",
               near ? message + ". Did you mean '" + std::string(near->name) + "'?"
                    : message + "; the commands are " + CommandNames());
}

// A call that lost its ")" runs on into the next one, whose name and "(" end
// up in one of its arguments; the ")" of that next call closes both. True when
// an argument holds a command's name and "(" so.
// A "//" comment that ate the ")" says so itself (CheckComments).
bool CheckSwallowedCall(const ParsedScript& script, const ParsedCall& call, CheckReport& report) {
    const SourceMap& map = script.map;
    const std::size_t from = map.SourceOffset(call.openAt);
    const std::size_t to = map.SourceOffset(call.closeAt);
    const auto& comments = map.Comments();
    for (auto comment =
             std::lower_bound(comments.begin(), comments.end(), from,
                              [](const SourceSpan&span, std::size_t at) { return span.at < at; });
         comment != comments.end() && comment->at < to; ++comment) {
        if (map.Source().substr(comment->at, comment->length).find(')') != std::string_view::npos) {
            return false;
        }
    }
    const auto& args = call.command.args;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view argument = args[i];
        for (auto open = argument.find('('); open != std::string_view::npos;
             open = argument.find('(', open + 1)) {
            const std::string_view before = argument.substr(0, open);
            for (const auto& known : CommandTable()) {
                if (before.size() < known.name.size() ||
                    !EqualIgnoringCase(before.substr(before.size() - known.name.size()),
                                       known.name)) {
                    continue;
                }
                const std::string_view inner = argument.substr(open - known.name.size());
                const std::string role = call.info && i < call.info->ArgumentCount()
                                             ? "the " + std::string(call.info->arguments[i].name)
                                             : "an argument it ignores";
                const std::size_t line = script.Where(inner).line;
                AddFinding(report, Severity::Error, script.Where(argument), "swallowed-call",
                           "this argument runs on into the call '" + std::string(known.name) +
                               "(' on line " + std::to_string(line) + ": the call to '" +
                               Excerpt(call.command.name) + "' on line " +
                               std::to_string(script.WhereClean(call.nameAt).line) +
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
void CheckArgumentCount(const ParsedScript& script, const ParsedCall& call, bool swallowed,
                        CheckReport& report) {
    const CommandDefinition& info = *call.info;
    const std::string name(info.name);
    const std::size_t uses = info.ArgumentCount();
    const std::string consequence = info.ChangesDirectory()
                                        ? "the launcher stays in the current directory"
                                        : "the launcher does nothing for this command";
    if (call.givenArguments < uses) {
        // Where the missing argument would stand: at the ")".
        AddFinding(report, Severity::Error, script.WhereClean(call.closeAt), "missing-argument",
                   name + " needs " + Plural(uses, "argument") + " (" + info.ArgumentNames() +
                       ") but has " + std::to_string(call.givenArguments) + "; " + consequence);
    }
    for (std::size_t i = 0; i < std::min(uses, call.command.args.size()); ++i) {
        if (call.command.args[i].empty()) {
            AddFinding(report, Severity::Error, script.Where(call.command.args[i]),
                       "empty-argument",
                       "the " + std::string(info.arguments[i].name) + " of " + name +
                           " is empty; " + consequence);
        }
    }
    if (call.givenArguments > uses && !swallowed) {
        const std::size_t extra = call.givenArguments - uses;
        const auto where = uses < call.command.args.size() ? script.Where(call.command.args[uses])
                                                           : script.WhereClean(call.nameAt);
        AddFinding(report, Severity::Warning, where, "extra-arguments",
                   name + " uses " + Plural(uses, "argument") + " (" + info.ArgumentNames() +
                       "); the launcher ignores the " + std::to_string(extra) + " after " +
                       (uses == 1 ? "it" : "them"));
    }
}

// A quoted run keeps its blanks, but the parser does not know quotes. Nor
// does the reader know lines: it pairs quotes in order, so a quoted run that
// goes on past the end of its line is most likely a quote missing there, and
// every run after it is paired wrongly. Where that leaves the last quote open,
// the load error names that line, and the runs from there on are not the
// author's.
void CheckQuotes(const ParsedScript& script, CheckReport& report) {
    const SourceMap& map = script.map;
    std::size_t chainEndsOnLine = 0;  // of the last run that crossed a line end
    std::optional<SourcePosition> firstCrossing;
    for (const auto& run : map.QuotedRuns()) {
        if (!map.OnOneLine(run)) {
            firstCrossing = map.PositionOf(run.at);
            break;
        }
    }
    for (const auto& run : map.QuotedRuns()) {
        const SourcePosition opens = map.PositionOf(run.at);
        if (map.UnclosedQuote() && firstCrossing && opens.line >= firstCrossing->line) {
            return;
        }
        if (!map.OnOneLine(run)) {
            const std::size_t closesOnLine = map.PositionOf(run.at + run.length - 1).line;
            if (opens.line != chainEndsOnLine) {
                AddFinding(report, Severity::Warning, opens, "quoted-line-end",
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
            AddFinding(report, Severity::Warning, map.PositionOf(run.at + 1 + nul), "nul-byte",
                       "this NUL byte ends the argument for the launcher, quotes or not: it "
                       "leaves out the rest, up to the next ',' or ')'");
        }
        const auto special = inside.find_first_of(",)");
        if (special == std::string_view::npos) {
            continue;
        }
        const bool comma = inside[special] == ',';
        AddFinding(report, Severity::Warning, map.PositionOf(run.at + 1 + special),
                   "quoted-separator",
                   std::string("this '") + inside[special] +
                       "' is inside quotes, but the launcher does not know quotes: it still " +
                       (comma ? "ends the argument here" : "ends the call here"));
    }
}

// A "//" inside a call drops the rest of its line, and what the author meant to
// close there closes somewhere later.
void CheckComments(const ParsedScript& script, CheckReport& report) {
    const SourceMap& map = script.map;
    for (const auto& comment : map.Comments()) {
        const std::size_t cleanAt = map.CleanOffsetAt(comment.at);
        const auto after = std::upper_bound(
            script.calls.begin(), script.calls.end(), cleanAt,
            [](std::size_t at, const ParsedCall& call) { return at <= call.nameAt; });
        if (after == script.calls.begin()) {
            continue;
        }
        const ParsedCall& call = *std::prev(after);
        if (cleanAt > call.closeAt) {
            continue;
        }
        const std::string_view text = map.Source().substr(comment.at, comment.length);
        const bool swallowsClose = text.find(')') != std::string_view::npos;
        const bool cutsArgument = comment.at > 0 &&
                                  static_cast<unsigned char>(map.Source()[comment.at - 1]) > 0x20 &&
                                  cleanAt > call.openAt + 1 && map.CleanText()[cleanAt - 1] != ',';
        if (!swallowsClose && !cutsArgument) {
            continue;  // a note between arguments
        }
        const std::string callName = "'" + Excerpt(call.command.name) + "' on line " +
                                     std::to_string(script.WhereClean(call.nameAt).line);
        AddFinding(report, Severity::Warning, map.PositionOf(comment.at), "comment-in-call",
                   swallowsClose
                       ? "this '//' starts a comment inside the call to " + callName +
                             ": the launcher drops the rest of the line, ')' included, and the "
                             "call goes on with the next line"
                       : "this '//' inside an argument of " + callName +
                             " starts a comment: the launcher drops the rest of the line and "
                             "joins the argument to the next line. Write the path without '//'.");
    }
}

}  // namespace

void CheckCalls(const ParsedScript& script, CheckReport& report) {
    CheckLoad(script, report);
    for (const auto& call : script.calls) {
        const bool swallowed = CheckSwallowedCall(script, call, report);
        if (call.info) {
            CheckArgumentCount(script, call, swallowed, report);
        } else {
            CheckName(script, call, report);
        }
    }
    CheckQuotes(script, report);
    CheckComments(script, report);
}

}  // namespace srdw::check
