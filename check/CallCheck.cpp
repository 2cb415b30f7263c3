// What the launcher's reader and parser do to a script that its author may not
// expect: a load that fails, names it skips, arguments it drops, comments and
// quotes that cut calls where the author did not.
#include <algorithm>

#include "check/CheckSteps.h"
#include "platform/AsciiCase.h"

namespace srdw::check {

namespace {

std::string Excerpt(std::string_view text) {
    constexpr std::size_t kLongest = 40;
    return text.size() <= kLongest ? std::string(text)
                                   : std::string(text.substr(0, kLongest)) + "...";
}

// "RenameEx, SetDirectory and Rename"
std::string CommandNames() {
    const auto table = CommandTable();
    std::string names;
    for (std::size_t i = 0; i < table.size(); ++i) {
        names += i == 0 ? "" : i + 1 == table.size() ? " and " : ", ";
        names += table[i].name;
    }
    return names;
}

void CheckLoad(const ParsedScript& script, CheckReport& report) {
    const SourceMap& map = script.map;
    if (map.Source().empty()) {
        AddFinding(report, Severity::Error, std::nullopt, "empty-script",
                   "the file is empty; the launcher does not load an empty script");
        return;
    }
    if (const auto quote = map.UnclosedQuote()) {
        AddFinding(report, Severity::Error, map.PositionOf(*quote), "unclosed-quote",
                   "this '\"' is never closed, so the launcher refuses the whole script "
                   "(log: \"ERROR: Script is incorrect!\")");
        return;
    }
    if (script.parsed) {
        if (script.calls.empty()) {
            AddFinding(report, Severity::Warning, std::nullopt, "no-commands",
                       "the script has no commands; the launcher installs nothing");
        }
        return;
    }
    // The parser stopped after the last call it kept.
    const std::string_view clean = map.CleanText();
    std::size_t position = 0;
    if (!script.calls.empty()) {
        position = script.calls.back().closeAt + 1;
        while (position < clean.size() && clean[position] == ';') {
            ++position;
        }
    }
    const auto open = clean.find('(', position);
    if (open == std::string_view::npos) {
        AddFinding(report, Severity::Error, script.WhereClean(position), "text-after-last-call",
                   "'" + Excerpt(clean.substr(position)) +
                       "' is not a call: no '(' follows it, so the launcher refuses the whole "
                       "script (log: \"ERROR in script!\")");
        return;
    }
    std::string message = "the call '" + Excerpt(clean.substr(position, open - position)) +
                          "(' is never closed by ')', so the launcher refuses the whole script "
                          "(log: \"ERROR in script!\")";
    const std::size_t openInSource = map.SourceOffset(open);
    for (const auto& comment : map.Comments()) {
        if (comment.at > openInSource &&
            map.Source().substr(comment.at, comment.length).find(')') != std::string_view::npos) {
            message += "; the '//' comment on line " +
                       std::to_string(map.PositionOf(comment.at).line) + " swallowed a ')'";
            break;
        }
    }
    AddFinding(report, Severity::Error, script.WhereClean(position), "unclosed-call", message);
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
    AddFinding(report, Severity::Warning, where, "unknown-command",
               "'" + Excerpt(name) +
                   "' is not a command, so the launcher skips this call without a word; the "
                   "commands are " +
                   CommandNames());
}

void CheckArgumentCount(const ParsedScript& script, const ParsedCall& call, CheckReport& report) {
    const CommandDefinition& info = *call.info;
    const std::string name(info.name);
    const std::size_t uses = info.ArgumentCount();
    const std::string consequence = info.ChangesDirectory()
                                        ? "the launcher stays in the current directory"
                                        : "the launcher does nothing for this command";
    if (call.givenArguments < uses) {
        AddFinding(report, Severity::Error, script.WhereClean(call.nameAt), "missing-argument",
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
    if (call.givenArguments > uses) {
        const std::size_t extra = call.givenArguments - uses;
        const auto where = uses < call.command.args.size() ? script.Where(call.command.args[uses])
                                                           : script.WhereClean(call.nameAt);
        AddFinding(report, Severity::Warning, where, "extra-arguments",
                   name + " uses " + Plural(uses, "argument") + " (" + info.ArgumentNames() +
                       "); the launcher ignores the " + std::to_string(extra) + " after " +
                       (uses == 1 ? "it" : "them"));
    }
}

// A quoted run keeps its blanks, but the parser does not know quotes.
void CheckQuotes(const ParsedScript& script, CheckReport& report) {
    const SourceMap& map = script.map;
    for (const auto& run : map.QuotedRuns()) {
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
        if (call.info) {
            CheckArgumentCount(script, call, report);
        } else {
            CheckName(script, call, report);
        }
    }
    CheckQuotes(script, report);
    CheckComments(script, report);
}

}  // namespace srdw::check
