#include "check/ScriptCheck.h"

#include <string_view>

#include <nlohmann/json.hpp>

namespace srdw::check {

namespace {

// A report's text is built in a string. Not an iostream, which would bring the
// C++ library's locales with it: on Windows they are half of SrdwCheck's size.

std::string SeverityName(Severity severity) {
    return severity == Severity::Error     ? "error"
           : severity == Severity::Warning ? "warning"
                                           : "note";
}

void WriteLines(const WalkLog& log, std::string& out) {
    for (const auto& line : log.lines) {
        out += "    " + line + '\n';
    }
    if (log.leftOut > 0) {
        out += "    ... " + Plural(log.leftOut, "more line") + ", not listed\n";
    }
}

void WriteCommands(const CheckReport& report, std::string& out) {
    out +=
        "\nCommands, as the launcher runs them at install\n  @rootdir = " + report.gameDirectory +
        (report.gameGiven ? "" : "  (a stand-in: give the game directory with --game)") +
        "\n  @cmdline = " + report.commandLine + '\n';
    if (report.commands.empty()) {
        out += "  (none)\n";
    }
    std::string directory = ".";
    for (const auto& command : report.commands) {
        if (command.directory != directory) {
            directory = command.directory;
            out += "  in " + directory + ":\n";
        }
        out += "  " + std::to_string(command.number) + ". line " +
               std::to_string(command.where.line) + ": " + command.name +
               (command.known ? "" : "  (not a command: skipped)") + '\n';
        for (const auto& argument : command.arguments) {
            out += "       " + argument.text;
            if (command.known) {
                out += "  ->  " +
                       (argument.install ? "'" + *argument.install + "'" : "(too long: empty)");
            }
            out += '\n';
        }
    }
    if (report.commandCount > report.commands.size()) {
        out += "  ... " + Plural(report.commandCount - report.commands.size(), "more command") +
               ", not listed\n";
    }
}

bool IsBelow(std::string_view path, std::string_view directory) {
    return path.size() > directory.size() && path.starts_with(directory) &&
           (path[directory.size()] == '\\' || path[directory.size()] == '/');
}

void WriteVerdict(const std::string& after, const std::vector<std::string>& differences,
                  std::string& out) {
    if (differences.empty()) {
        out += "  " + after + ", every path is back where it was.\n";
        return;
    }
    out += "  " + after + ", the game directory is NOT as it was:\n";
    for (const auto& line : differences) {
        out += "    " + line + '\n';
    }
}

void WriteDryRun(const CheckReport& report, std::string& out) {
    const DryRunResult& run = *report.dryRun;
    out += "\nDry run in " + report.gameDirectory + " (nothing on disk was changed)\n";
    out += "  Install, as the launcher would log it:\n";
    WriteLines(run.install, out);
    out += "  While the game runs:\n";
    if (run.whileGameRuns.empty()) {
        out += "    nothing is moved\n";
    }
    const Placement* movedDirectory = nullptr;
    for (const auto& placement : run.whileGameRuns) {
        // What moved along with its directory goes without saying.
        if (movedDirectory && IsBelow(placement.path, movedDirectory->path) &&
            IsBelow(placement.was, movedDirectory->was)) {
            continue;
        }
        out += "    '" + placement.path + "' holds what was '" + placement.was + "'" +
               (placement.directory ? ", with everything in it" : "") + '\n';
        movedDirectory = placement.directory ? &placement : movedDirectory;
    }
    out += "  Restore, as the launcher would log it:\n";
    WriteLines(run.restore, out);
    WriteVerdict("After restore", run.notRestored, out);
    out +=
        "  After a crash while the game runs, the start-up entry's recovery (@cmdline = "
        "/recover) would ";
    // A journal without a command (an install that ran none) leaves the
    // recovery nothing to log: a heading over no lines would read as lost.
    if (run.recovery.lines.empty() && run.recovery.leftOut == 0) {
        out += "find nothing to undo and log no command.\n";
    } else {
        out += "log:\n";
        WriteLines(run.recovery, out);
    }
    WriteVerdict("After that recovery", run.notRecovered, out);
}

using Json = nlohmann::ordered_json;

// Text that is valid UTF-8 passes as it is; the serializer refuses any other
// (overlong forms, surrogates and code points past U+10FFFF among it), which is
// taken as Latin-1, so that each byte at or above 0x80 (a Windows code page)
// comes out as one of the characters U+0080 to U+00FF instead of making the
// document invalid.
Json Text(std::string_view text) {
    Json json = std::string(text);
    try {
        static_cast<void>(json.dump());
        return json;
    } catch (const Json::type_error&) {
        std::string utf8;
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x80) {
                utf8 += c;
            } else {
                utf8 += static_cast<char>(0xC0 | (byte >> 6));
                utf8 += static_cast<char>(0x80 | (byte & 0x3F));
            }
        }
        return utf8;
    }
}

Json Texts(const std::vector<std::string>& texts) {
    Json list = Json::array();
    for (const auto& text : texts) {
        list.push_back(Text(text));
    }
    return list;
}

}  // namespace

// How nlohmann's serializer writes each part of a report, also in a list.
void to_json(Json& json, const Finding& finding) {
    const auto& where = finding.where;
    json = {{"severity", SeverityName(finding.severity)},
            {"line", where ? Json(where->line) : Json(nullptr)},
            {"column", where ? Json(where->column) : Json(nullptr)},
            {"code", Text(finding.code)},
            {"message", Text(finding.message)}};
}

void to_json(Json& json, const CheckedArgument& argument) {
    const Json install = argument.install ? Text(*argument.install) : Json(nullptr);
    json = {{"text", Text(argument.text)},
            {"line", argument.where.line},
            {"column", argument.where.column},
            {"install", install},
            {"restore", install}};  // restore undoes what install recorded
}

void to_json(Json& json, const CheckedCommand& command) {
    json = {{"number", command.number},       {"line", command.where.line},
            {"column", command.where.column}, {"name", Text(command.name)},
            {"known", command.known},         {"directory", Text(command.directory)},
            {"arguments", command.arguments}};
}

void to_json(Json& json, const Placement& placement) {
    json = {{"path", Text(placement.path)},
            {"was", Text(placement.was)},
            {"directory", placement.directory}};
}

std::string TextReport(const CheckReport& report) {
    std::string out;
    for (const auto& finding : report.findings) {
        out += report.script + ':';
        if (finding.where) {
            out += std::to_string(finding.where->line) + ':' +
                   std::to_string(finding.where->column) + ':';
        }
        out += ' ' + SeverityName(finding.severity) + ": " + finding.message + " [" + finding.code +
               "]\n";
    }
    for (const auto& [code, tally] : report.tallies) {
        if (tally.count > kListedFindingsPerCode) {
            out += report.script + ": " + SeverityName(tally.severity) + ": " +
                   std::to_string(tally.count - kListedFindingsPerCode) +
                   " more like this, not listed (" + std::to_string(tally.count) + " in all) [" +
                   code + "]\n";
        }
    }
    WriteCommands(report, out);
    if (report.dryRun) {
        WriteDryRun(report, out);
    } else if (!report.loaded) {
        out += "\nNo dry run: the launcher would not load this script.\n";
    } else {
        out += "\nNo dry run: give the game directory with --game DIR for one.\n";
    }
    out += '\n' + Plural(report.Count(Severity::Error), "error") + ", " +
           Plural(report.Count(Severity::Warning), "warning") + ", " +
           Plural(report.Count(Severity::Note), "note") + ".\n";
    return out;
}

std::string JsonReport(const CheckReport& report) {
    // What the report does not list.
    Json leftOut = {{"findings", Json::array()},
                    {"commands", report.commandCount - report.commands.size()}};
    for (const auto& [code, tally] : report.tallies) {
        if (tally.count > kListedFindingsPerCode) {
            leftOut["findings"].push_back({{"code", Text(code)},
                                           {"severity", SeverityName(tally.severity)},
                                           {"count", tally.count - kListedFindingsPerCode}});
        }
    }
    Json dryRun = nullptr;
    if (const auto& run = report.dryRun) {
        dryRun = {
            {"install", Texts(run->install.lines)},     {"whileGameRuns", run->whileGameRuns},
            {"restore", Texts(run->restore.lines)},     {"notRestored", Texts(run->notRestored)},
            {"restored", run->notRestored.empty()},     {"recovery", Texts(run->recovery.lines)},
            {"notRecovered", Texts(run->notRecovered)}, {"recovered", run->notRecovered.empty()}};
        leftOut["install"] = run->install.leftOut;
        leftOut["restore"] = run->restore.leftOut;
        leftOut["recovery"] = run->recovery.leftOut;
    }
    const Json document = {{"script", Text(report.script)},
                           {"game", report.gameGiven ? Text(report.gameDirectory) : Json(nullptr)},
                           {"cmdline", Text(report.commandLine)},
                           {"loaded", report.loaded},
                           {"errors", report.Count(Severity::Error)},
                           {"warnings", report.Count(Severity::Warning)},
                           {"notes", report.Count(Severity::Note)},
                           {"findings", report.findings},
                           {"commands", report.commands},
                           {"dryRun", std::move(dryRun)},
                           {"leftOut", std::move(leftOut)}};
    // Compact, and ASCII only.
    return document.dump(-1, ' ', true) + '\n';
}

}  // namespace srdw::check
