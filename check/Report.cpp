#include "check/ScriptCheck.h"

#include <map>

#include <nlohmann/json.hpp>

#include "script/PathModel.h"

namespace srdw::check {

namespace {

// A report's text is built in a string. Not an iostream, which would bring the
// C++ library's locales with it: on Windows they are half of SrdwCheck's size.

using Json = nlohmann::ordered_json;

std::string SeverityName(Severity severity) {
    return severity == Severity::Error     ? "error"
           : severity == Severity::Warning ? "warning"
                                           : "note";
}

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

// Lines of the dry run, indented in the text; the lines for the document,
// when there is one (`doc`).
Json WriteLines(const std::vector<std::string>& lines, bool doc, std::string& text) {
    Json json = Json::array();
    for (const auto& line : lines) {
        text += "    " + line + '\n';
        if (doc) {
            json.push_back(Text(line));
        }
    }
    return json;
}

// A log of the dry run, also in `leftOut` at `walk`.
Json WriteLog(const WalkLog& log, const char* walk, bool doc, std::string& text, Json& leftOut) {
    Json lines = WriteLines(log.lines, doc, text);
    if (log.leftOut > 0) {
        text += "    ... " + Plural(log.leftOut, "more line") + ", not listed\n";
    }
    leftOut[walk] = log.leftOut;
    return lines;
}

// What is not back where it was after `after`.
Json WriteVerdict(const std::string& after, const std::vector<std::string>& differences, bool doc,
                  std::string& text) {
    text += "  " + after +
            (differences.empty() ? ", every path is back where it was.\n"
                                 : ", the game directory is NOT as it was:\n");
    return WriteLines(differences, doc, text);
}

void WriteFindings(const CheckReport& report, bool doc, std::string& text, Json& findings,
                   Json& leftOut) {
    findings = Json::array();
    for (const auto& finding : report.findings) {
        const auto& where = finding.where;
        text += report.script + ':';
        if (where) {
            text += std::to_string(where->line) + ':' + std::to_string(where->column) + ':';
        }
        text += ' ' + SeverityName(finding.severity) + ": " + finding.message + " [" +
                finding.code + "]\n";
        if (doc) {
            findings.push_back({{"severity", SeverityName(finding.severity)},
                                {"line", where ? Json(where->line) : Json(nullptr)},
                                {"column", where ? Json(where->column) : Json(nullptr)},
                                {"code", Text(finding.code)},
                                {"message", Text(finding.message)}});
        }
    }
    leftOut["findings"] = Json::array();
    for (const auto& [code, tally] : report.tallies) {
        if (tally.count > kListedFindingsPerCode) {
            const std::size_t more = tally.count - kListedFindingsPerCode;
            text += report.script + ": " + SeverityName(tally.severity) + ": " +
                    std::to_string(more) + " more like this, not listed (" +
                    std::to_string(tally.count) + " in all) [" + code + "]\n";
            leftOut["findings"].push_back({{"code", Text(code)},
                                           {"severity", SeverityName(tally.severity)},
                                           {"count", more}});
        }
    }
}

void WriteCommands(const CheckReport& report, bool doc, std::string& text, Json& commands,
                   Json& leftOut) {
    text +=
        "\nCommands, as the launcher runs them at install\n  @rootdir = " + report.gameDirectory +
        (report.gameGiven ? "" : "  (a stand-in: give the game directory with --game)") +
        "\n  @cmdline = " + report.commandLine + '\n';
    if (report.commands.empty()) {
        text += "  (none)\n";
    }
    commands = Json::array();
    std::string directory = ".";
    std::size_t number = 0;  // 1-based, in script order
    for (const auto& command : report.commands) {
        ++number;
        if (command.directory != directory) {
            directory = command.directory;
            text += "  in " + directory + ":\n";
        }
        text += "  " + std::to_string(number) + ". line " + std::to_string(command.where.line) +
                ": " + command.name + (command.known ? "" : "  (not a command: skipped)") + '\n';
        Json arguments = Json::array();
        for (const auto& argument : command.arguments) {
            text += "       " + argument.text;
            if (command.known) {
                text += "  ->  " +
                        (argument.install ? "'" + *argument.install + "'" : "(too long: empty)");
            }
            text += '\n';
            if (doc) {
                const Json install = argument.install ? Text(*argument.install) : Json(nullptr);
                arguments.push_back(
                    {{"text", Text(argument.text)},
                     {"line", argument.where.line},
                     {"column", argument.where.column},
                     {"install", install},
                     {"restore", install}});  // restore undoes what install recorded
            }
        }
        if (doc) {
            commands.push_back({{"number", number},
                                {"line", command.where.line},
                                {"column", command.where.column},
                                {"name", Text(command.name)},
                                {"known", command.known},
                                {"directory", Text(command.directory)},
                                {"arguments", std::move(arguments)}});
        }
    }
    const std::size_t more = report.commandCount - report.commands.size();
    if (more > 0) {
        text += "  ... " + Plural(more, "more command") + ", not listed\n";
    }
    leftOut["commands"] = more;
}

void WriteDryRun(const CheckReport& report, bool doc, std::string& text, Json& json,
                 Json& leftOut) {
    const DryRunResult& run = *report.dryRun;
    text += "\nDry run in " + report.gameDirectory + " (nothing on disk was changed)\n";
    text += "  Install, as the launcher would log it:\n";
    json["install"] = WriteLog(run.install, "install", doc, text, leftOut);
    text += "  While the game runs:\n";
    if (run.whileGameRuns.empty()) {
        text += "    nothing is moved\n";
    }
    Json& placements = json["whileGameRuns"] = Json::array();
    // The directories listed, by where they are now, and where they were.
    std::map<std::string_view, std::string_view> movedDirectories;
    const auto movedAlong = [&movedDirectories](const Placement& placement) {
        const std::string_view path = placement.path;
        for (auto end = path.rfind(kSeparator); end != std::string_view::npos && end > 0;
             end = path.rfind(kSeparator, end - 1)) {
            const auto folder = movedDirectories.find(path.substr(0, end));
            if (folder != movedDirectories.end() && IsAtOrBelow(placement.was, folder->second)) {
                return true;
            }
        }
        return false;
    };
    for (const auto& placement : run.whileGameRuns) {
        if (doc) {
            placements.push_back({{"path", Text(placement.path)},
                                  {"was", Text(placement.was)},
                                  {"directory", placement.directory}});
        }
        // What moved along with its directory goes without saying, also where
        // another directory moved into that one and is listed in between.
        if (movedAlong(placement)) {
            continue;
        }
        text += "    '" + placement.path + "' holds what was '" + placement.was + "'" +
                (placement.directory ? ", with everything in it" : "") + '\n';
        if (placement.directory) {
            movedDirectories.emplace(placement.path, placement.was);
        }
    }
    text += "  Restore, as the launcher would log it:\n";
    json["restore"] = WriteLog(run.restore, "restore", doc, text, leftOut);
    json["notRestored"] = WriteVerdict("After restore", run.notRestored, doc, text);
    json["restored"] = run.notRestored.empty();
    text +=
        "  After a crash while the game runs, the start-up entry's recovery (@cmdline = "
        "/recover) would ";
    // A journal without a command (an install that ran none) leaves the
    // recovery nothing to log: a heading over no lines would read as lost. A
    // log lists lines before it leaves any out.
    text += run.recovery.lines.empty() ? "find nothing to undo and log no command.\n" : "log:\n";
    json["recovery"] = WriteLog(run.recovery, "recovery", doc, text, leftOut);
    json["notRecovered"] = WriteVerdict("After that recovery", run.notRecovered, doc, text);
    json["recovered"] = run.notRecovered.empty();
}

// Both reports, written in one walk over the check's: the text for people
// (compiler-style findings, the command list, the dry run) into `text`, and,
// with `doc`, the JSON document for a mod's own CI, each part into both as the
// walk comes to it. Without `doc` the document holds only its frame: the lists
// that grow with the script are what a text report need not build.
Json Write(const CheckReport& report, bool doc, std::string& text) {
    Json json = {{"script", Text(report.script)},
                 {"game", report.gameGiven ? Text(report.gameDirectory) : Json(nullptr)},
                 {"cmdline", Text(report.commandLine)},
                 {"loaded", report.loaded}};
    std::string summary;
    for (const Severity severity : {Severity::Error, Severity::Warning, Severity::Note}) {
        const std::size_t count = report.Count(severity);
        json[SeverityName(severity) + "s"] = count;
        summary += (summary.empty() ? "\n" : ", ") + Plural(count, SeverityName(severity));
    }
    Json leftOut;  // what the report does not list
    WriteFindings(report, doc, text, json["findings"], leftOut);
    WriteCommands(report, doc, text, json["commands"], leftOut);
    json["dryRun"] = nullptr;
    if (report.dryRun) {
        WriteDryRun(report, doc, text, json["dryRun"], leftOut);
    } else if (!report.loaded) {
        text += "\nNo dry run: the launcher would not load this script.\n";
    } else {
        text += "\nNo dry run: give the game directory with --game DIR for one.\n";
    }
    text += summary + ".\n";
    json["leftOut"] = std::move(leftOut);
    return json;
}

}  // namespace

std::string TextReport(const CheckReport& report) {
    std::string text;
    Write(report, false, text);
    return text;
}

std::string JsonReport(const CheckReport& report) {
    std::string text;
    // Compact, and ASCII only.
    return Write(report, true, text).dump(-1, ' ', true) + '\n';
}

}  // namespace srdw::check
