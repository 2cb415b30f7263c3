// SrdwCheck's check of a script: what the launcher's reader and parser do to it
// that its author may not expect (a load that fails, names it skips, arguments
// it drops, comments and quotes that cut calls where the author did not). The
// paths its commands work on are checked in PathCheck.cpp, and the dry run, in
// which the launcher's own script engine installs and restores the script on a
// model of the game directory, is in DryRun.cpp.
#include "check/ScriptCheck.h"

#include <algorithm>
#include <utility>

#include "app/CommandLine.h"
#include "check/CheckState.h"
#include "platform/AsciiCase.h"
#include "platform/FileSystem.h"
#include "script/CommandTable.h"
#include "script/PathModel.h"
#include "script/ScriptText.h"
#include "script/SourceMap.h"

namespace srdw::check {

namespace {

// "a", "a and b", "a, b and c".
std::string Enumerate(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    }
    return text;
}

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

// The edits (a letter left out, added, changed, or two swapped) that make one
// name of the other, letter case aside.
std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) {
        for (std::size_t j = 0; j <= b.size(); ++j) {
            if (i == 0 || j == 0) {
                d[i][j] = i + j;
                continue;
            }
            const bool same = LowerAscii(a[i - 1]) == LowerAscii(b[j - 1]);
            d[i][j] =
                std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && LowerAscii(a[i - 1]) == LowerAscii(b[j - 2]) &&
                LowerAscii(a[i - 2]) == LowerAscii(b[j - 1])) {
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
    for (const auto& known : CommandTable()) {
        if (text.size() >= known.name.size() &&
            EqualIgnoringCase(text.substr(text.size() - known.name.size()), known.name)) {
            return &known;
        }
    }
    return nullptr;
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
    if (const CommandDefinition* known = NameAtEnd(name)) {
        const std::string_view glued = name.substr(0, name.size() - known->name.size());
        if (glued.empty()) {
            check.Add(Severity::Warning, where, "command-case",
                      "'" + std::string(name) +
                          "' is not a command: names must match in letter case, so the launcher "
                          "skips this call without a word. Did you mean '" +
                          std::string(known->name) + "'?");
        } else {
            check.Add(Severity::Warning, where, "glued-word",
                      "'" + Excerpt(name) + "' is not a command: '" + Excerpt(glued) +
                          "' stands before '" + std::string(known->name) +
                          "' and is glued to its name, so the launcher skips this call without "
                          "a word. Remove it, or end the line before it with ';' or ')'.");
        }
        return;
    }
    const std::string message =
        "'" + Excerpt(name) + "' is not a command, so the launcher skips this call without a word";
    if (const CommandDefinition* near = NearestCommand(name)) {
        check.Add(Severity::Warning, where, "unknown-command",
                  message + ". Did you mean '" + std::string(near->name) + "'?");
        return;
    }
    std::vector<std::string> names;
    for (const auto& command : CommandTable()) {
        names.emplace_back(command.name);
    }
    check.Add(Severity::Warning, where, "unknown-command",
              message + "; the commands are " + Enumerate(names));
}

// A call that lost its ")" runs on into the next one, whose name and "(" end
// up in one of its arguments; the ")" of that next call closes both. True when
// an argument holds a command's name and "(" so.
// A "//" comment that ate the ")" says so itself (CheckComments).
bool CheckSwallowedCall(Check& check, const ScriptCommand& call) {
    const SourceMap& map = check.map;
    const std::size_t from = map.SourceOffset(check.OpenAt(call));
    const std::size_t to = map.SourceOffset(check.CloseAt(call));
    const auto& comments = map.Comments();
    for (auto comment =
             std::lower_bound(comments.begin(), comments.end(), from,
                              [](const SourceSpan&span, std::size_t at) { return span.at < at; });
         comment != comments.end() && comment->at < to; ++comment) {
        if (map.Source().substr(comment->at, comment->length).find(')') != std::string_view::npos) {
            return false;
        }
    }
    const CommandDefinition* info = FindCommand(call.name);
    const auto& args = call.args;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view argument = args[i];
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
        check.Add(Severity::Error, check.Where(check.map.CleanText().substr(closeAt)),
                  "missing-argument",
                  name + " needs " + Plural(uses, "argument") + " (" + info.ArgumentNames() +
                      ") but has " + std::to_string(given) + "; " + consequence);
    }
    for (std::size_t i = 0; i < std::min(uses, call.args.size()); ++i) {
        if (call.args[i].empty()) {
            check.Add(Severity::Error, check.Where(call.args[i]), "empty-argument",
                      "the " + std::string(info.arguments[i].name) + " of " + name + " is empty; " +
                          consequence);
        }
    }
    if (given > uses && !swallowed) {
        const std::size_t extra = given - uses;
        const auto where =
            uses < call.args.size() ? check.Where(call.args[uses]) : check.Where(call.name);
        check.Add(Severity::Warning, where, "extra-arguments",
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
void CheckQuotes(Check& check) {
    const SourceMap& map = check.map;
    std::size_t chainEndsOnLine = 0;  // of the last run that crossed a line end
    const auto& runs = map.QuotedRuns();
    const auto crossing = std::find_if(runs.begin(), runs.end(),
                                       [&](const SourceSpan& run) { return !map.OnOneLine(run); });
    for (const auto& run : runs) {
        const SourcePosition opens = map.PositionOf(run.at);
        if (map.UnclosedQuote() && crossing != runs.end() &&
            opens.line >= map.PositionOf(crossing->at).line) {
            return;
        }
        if (!map.OnOneLine(run)) {
            const std::size_t closesOnLine = map.PositionOf(run.at + run.length - 1).line;
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
        const bool comma = inside[special] == ',';
        check.Add(Severity::Warning, map.PositionOf(run.at + 1 + special), "quoted-separator",
                  std::string("this '") + inside[special] +
                      "' is inside quotes, but the launcher does not know quotes: it still " +
                      (comma ? "ends the argument here" : "ends the call here"));
    }
}

// A "//" inside a call drops the rest of its line, and what the author meant to
// close there closes somewhere later.
void CheckComments(Check& check) {
    const SourceMap& map = check.map;
    for (const auto& comment : map.Comments()) {
        const std::size_t cleanAt = comment.clean;
        const auto after = std::upper_bound(check.calls.begin(), check.calls.end(), cleanAt,
                                            [&](std::size_t at, const ScriptCommand& call) {
                                                return at <= check.CleanOffset(call.name);
                                            });
        if (after == check.calls.begin()) {
            continue;
        }
        const ScriptCommand& call = *std::prev(after);
        if (cleanAt > check.CloseAt(call)) {
            continue;
        }
        const std::string_view text = map.Source().substr(comment.at, comment.length);
        const bool swallowsClose = text.find(')') != std::string_view::npos;
        const bool cutsArgument =
            comment.at > 0 && static_cast<unsigned char>(map.Source()[comment.at - 1]) > 0x20 &&
            cleanAt > check.OpenAt(call) + 1 && map.CleanText()[cleanAt - 1] != ',';
        if (!swallowsClose && !cutsArgument) {
            continue;  // a note between arguments
        }
        const std::string callName =
            "'" + Excerpt(call.name) + "' on line " + std::to_string(check.Where(call.name).line);
        check.Add(Severity::Warning, map.PositionOf(comment.at), "comment-in-call",
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

std::string PlaceholderGameDirectory() {
    return kWindowsPaths ? "C:\\<game>" : "/<game>";
}

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
    // A relative directory is taken from where the checker runs.
    check.game = Resolve(ResolveAbsolute(NativeFileSystem().WorkingDirectory()),
                         report.gameGiven ? options.gameDirectory : PlaceholderGameDirectory());
    report.gameDirectory = check.game.Text();
    report.commandLine = PrepareCommandLine(options.commandLine);

    if (!source.empty() && !check.map.UnclosedQuote()) {
        check.reach = ParseCalls(check.map.CleanText(), check.calls, check.arguments);
        report.loaded = check.reach == check.map.CleanText().size();
    }
    report.commandCount = check.calls.size();
    CheckLoad(check);
    for (const auto& call : check.calls) {
        const bool swallowed = CheckSwallowedCall(check, call);
        if (const CommandDefinition* info = FindCommand(call.name)) {
            CheckArgumentCount(check, call, *info, swallowed);
        } else {
            CheckName(check, call);
        }
    }
    CheckQuotes(check);
    CheckComments(check);
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
                      FirstFew(std::move(paths)) + ")" +
                      (lines.empty() ? std::string()
                                     : ", so it does not tell what the commands on " +
                                           std::string(lines.size() == 1 ? "line " : "lines ") +
                                           FirstFew(lines) + " do there"));
    }
    // Findings in the order of the script; those about the whole script last.
    std::stable_sort(report.findings.begin(), report.findings.end(),
                     [](const Finding& a, const Finding& b) {
                         if (!a.where || !b.where) {
                             return a.where.has_value() && !b.where.has_value();
                         }
                         return std::pair(a.where->line, a.where->column) <
                                std::pair(b.where->line, b.where->column);
                     });
    return std::move(check.report);
}

}  // namespace srdw::check
