#include "check/Report.h"

#include <string_view>

#include <nlohmann/json.hpp>

namespace srdw::check {

namespace {

std::string_view SeverityName(Severity severity) {
    switch (severity) {
        case Severity::Error:
            return "error";
        case Severity::Warning:
            return "warning";
        case Severity::Note:
            break;
    }
    return "note";
}

void WriteLines(std::string_view text, std::size_t leftOut, std::string_view indent,
                ReportOut& out) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        out << indent << text.substr(0, end) << '\n';
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    if (leftOut > 0) {
        out << indent << "... " << Plural(leftOut, "more line") << ", not listed\n";
    }
}

void WriteCommands(const CheckReport& report, ReportOut& out) {
    out << "\nCommands, as the launcher runs them at install\n"
        << "  @rootdir = " << report.gameDirectory
        << (report.gameGiven ? "" : "  (a stand-in: give the game directory with --game)")
        << "\n  @cmdline = " << report.commandLine << '\n';
    if (report.commands.empty()) {
        out << "  (none)\n";
    }
    std::string directory = ".";
    for (const auto& command : report.commands) {
        if (command.directory != directory) {
            directory = command.directory;
            out << "  in " << directory << ":\n";
        }
        out << "  " << command.number << ". line " << command.where.line << ": " << command.name
            << (command.known ? "" : "  (not a command: skipped)") << '\n';
        for (const auto& argument : command.arguments) {
            out << "       " << argument.text;
            if (command.known) {
                out << "  ->  "
                    << (argument.install ? "'" + *argument.install + "'" : "(too long: empty)");
            }
            out << '\n';
        }
    }
    if (report.commandCount > report.commands.size()) {
        out << "  ... " << Plural(report.commandCount - report.commands.size(), "more command")
            << ", not listed\n";
    }
}

bool IsBelow(std::string_view path, std::string_view directory) {
    return path.size() > directory.size() && path.starts_with(directory) &&
           (path[directory.size()] == '\\' || path[directory.size()] == '/');
}

void WriteVerdict(std::string_view after, const std::vector<std::string>& differences,
                  ReportOut& out) {
    if (differences.empty()) {
        out << "  " << after << ", every path is back where it was.\n";
        return;
    }
    out << "  " << after << ", the game directory is NOT as it was:\n";
    for (const auto& line : differences) {
        out << "    " << line << '\n';
    }
}

void WriteDryRun(const CheckReport& report, ReportOut& out) {
    const DryRunResult& run = *report.dryRun;
    out << "\nDry run in " << report.gameDirectory << " (nothing on disk was changed)\n";
    out << "  Install, as the launcher would log it:\n";
    WriteLines(run.installLog, run.installLinesLeftOut, "    ", out);
    out << "  While the game runs:\n";
    if (run.whileGameRuns.empty()) {
        out << "    nothing is moved\n";
    }
    const Placement* movedDirectory = nullptr;
    for (const auto& placement : run.whileGameRuns) {
        // What moved along with its directory goes without saying.
        if (movedDirectory && IsBelow(placement.path, movedDirectory->path) &&
            IsBelow(placement.was, movedDirectory->was)) {
            continue;
        }
        out << "    '" << placement.path << "' holds what was '" << placement.was << "'"
            << (placement.directory ? ", with everything in it" : "") << '\n';
        movedDirectory = placement.directory ? &placement : movedDirectory;
    }
    out << "  Restore, as the launcher would log it:\n";
    WriteLines(run.restoreLog, run.restoreLinesLeftOut, "    ", out);
    WriteVerdict("After restore", run.notRestored, out);
    out << "  After a crash while the game runs, the start-up entry's recovery (@cmdline = "
           "/recover) would ";
    // A journal without a command (an install that ran none) leaves the
    // recovery nothing to log: a heading over no lines would read as lost.
    if (run.recoveryLog.empty() && run.recoveryLinesLeftOut == 0) {
        out << "find nothing to undo and log no command.\n";
    } else {
        out << "log:\n";
        WriteLines(run.recoveryLog, run.recoveryLinesLeftOut, "    ", out);
    }
    WriteVerdict("After that recovery", run.notRecovered, out);
}

using Json = nlohmann::ordered_json;

// The length of the UTF-8 sequence at text[i], or 0 where none begins. The
// second byte's narrower ranges rule out overlong forms, surrogates and code
// points past U+10FFFF, all of which the serializer refuses.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = byte < 0x80                    ? 1
                               : byte >= 0xC2 && byte <= 0xDF ? 2
                               : (byte >> 4) == 0xE           ? 3
                               : byte >= 0xF0 && byte <= 0xF4 ? 4
                                                              : 0;
    if (i + length > text.size()) {
        return 0;
    }
    const unsigned char low = byte == 0xE0 ? 0xA0 : byte == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = byte == 0xED ? 0x9F : byte == 0xF4 ? 0x8F : 0xBF;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) {
            return 0;
        }
    }
    return length;
}

// Text that is valid UTF-8 passes as it is; any other text is taken as Latin-1,
// so that each byte at or above 0x80 (a Windows code page) comes out as one of
// the characters U+0080 to U+00FF instead of making the document invalid.
Json Text(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length = Utf8Length(text, i);
        if (length == 0) {
            break;
        }
        i += length;
    }
    if (i == text.size()) {
        return std::string(text);
    }
    std::string utf8;
    utf8.reserve(text.size() * 2);
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

Json TextOrNull(const std::optional<std::string>& text) {
    return text ? Text(*text) : Json(nullptr);
}

// A JSON array of what `toJson` makes of each item.
template <typename Items, typename ToJson>
Json List(const Items& items, ToJson toJson) {
    Json list = Json::array();
    for (const auto& item : items) {
        list.push_back(toJson(item));
    }
    return list;
}

// Writes a JSON object member by member, and a long list item by item, so
// that a report of a huge script is never held a second time as a document.
// The bytes are those of the whole document's compact, ASCII-only dump.
class JsonObjectOut {
  public:
    explicit JsonObjectOut(ReportOut& out) : out_(out) { out_ << '{'; }
    ~JsonObjectOut() { out_ << '}'; }
    JsonObjectOut(const JsonObjectOut&) = delete;
    JsonObjectOut& operator=(const JsonObjectOut&) = delete;

    void Member(std::string_view key, const Json& value) {
        Key(key);
        Dump(value);
    }
    template <typename Items, typename ToJson>
    void ListMember(std::string_view key, const Items& items, ToJson toJson) {
        Key(key);
        out_ << '[';
        bool first = true;
        for (const auto& item : items) {
            out_ << (first ? "" : ",");
            first = false;
            Dump(toJson(item));
        }
        out_ << ']';
    }
    // Starts a member whose value the caller writes (an object of its own).
    ReportOut& Open(std::string_view key) {
        Key(key);
        return out_;
    }

  private:
    void Key(std::string_view key) {
        out_ << (first_ ? "" : ",");
        first_ = false;
        Dump(Json(std::string(key)));
        out_ << ':';
    }
    void Dump(const Json& value) { out_ << value.dump(-1, ' ', true); }

    ReportOut& out_;
    bool first_ = true;
};

Json Texts(const std::vector<std::string>& texts) {
    return List(texts, [](const std::string& text) { return Text(text); });
}

Json LogLines(std::string_view log) {
    Json lines = Json::array();
    while (!log.empty()) {
        const auto end = log.find('\n');
        lines.push_back(Text(log.substr(0, end)));
        log.remove_prefix(end == std::string_view::npos ? log.size() : end + 1);
    }
    return lines;
}

// Starts an object with "line" and "column", so that they stand where every
// reader of the report has found them.
Json Positioned(Json object, const std::optional<SourcePosition>& where) {
    object["line"] = where ? Json(where->line) : Json(nullptr);
    object["column"] = where ? Json(where->column) : Json(nullptr);
    return object;
}

Json FindingJson(const Finding& finding) {
    Json item = Positioned({{"severity", SeverityName(finding.severity)}}, finding.where);
    item["code"] = Text(finding.code);
    item["message"] = Text(finding.message);
    return item;
}

Json ArgumentJson(const CheckedArgument& argument) {
    Json item = Positioned({{"text", Text(argument.text)}}, argument.where);
    item["install"] = TextOrNull(argument.install);
    item["restore"] = TextOrNull(argument.restore);
    return item;
}

Json CommandJson(const CheckedCommand& command) {
    Json item = Positioned({{"number", command.number}}, command.where);
    item["name"] = Text(command.name);
    item["known"] = command.known;
    item["directory"] = Text(command.directory);
    item["arguments"] = List(command.arguments, ArgumentJson);
    return item;
}

Json PlacementJson(const Placement& placement) {
    return Json{{"path", Text(placement.path)},
                {"was", Text(placement.was)},
                {"directory", placement.directory}};
}

void WriteDryRunJson(const DryRunResult& run, ReportOut& out) {
    JsonObjectOut item(out);
    item.Member("install", LogLines(run.installLog));
    item.ListMember("whileGameRuns", run.whileGameRuns, PlacementJson);
    item.Member("restore", LogLines(run.restoreLog));
    item.Member("notRestored", Texts(run.notRestored));
    item.Member("restored", run.notRestored.empty());
    item.Member("recovery", LogLines(run.recoveryLog));
    item.Member("notRecovered", Texts(run.notRecovered));
    item.Member("recovered", run.notRecovered.empty());
}

// What the report does not list.
Json LeftOut(const CheckReport& report) {
    Json findings = Json::array();
    for (const auto& [code, tally] : report.tallies) {
        if (tally.count > kListedFindingsPerCode) {
            findings.push_back({{"code", Text(code)},
                                {"severity", SeverityName(tally.severity)},
                                {"count", tally.count - kListedFindingsPerCode}});
        }
    }
    Json leftOut = {{"findings", std::move(findings)},
                    {"commands", report.commandCount - report.commands.size()}};
    if (report.dryRun) {
        leftOut["install"] = report.dryRun->installLinesLeftOut;
        leftOut["restore"] = report.dryRun->restoreLinesLeftOut;
        leftOut["recovery"] = report.dryRun->recoveryLinesLeftOut;
    }
    return leftOut;
}

}  // namespace

void WriteText(const CheckReport& report, ReportOut& out) {
    for (const auto& finding : report.findings) {
        out << report.script << ':';
        if (finding.where) {
            out << finding.where->line << ':' << finding.where->column << ':';
        }
        out << ' ' << SeverityName(finding.severity) << ": " << finding.message << " ["
            << finding.code << "]\n";
    }
    for (const auto& [code, tally] : report.tallies) {
        if (tally.count > kListedFindingsPerCode) {
            out << report.script << ": " << SeverityName(tally.severity) << ": "
                << tally.count - kListedFindingsPerCode << " more like this, not listed ("
                << tally.count << " in all) [" << code << "]\n";
        }
    }
    WriteCommands(report, out);
    if (report.dryRun) {
        WriteDryRun(report, out);
    } else if (!report.loaded) {
        out << "\nNo dry run: the launcher would not load this script.\n";
    } else {
        out << "\nNo dry run: give the game directory with --game DIR for one.\n";
    }
    out << '\n'
        << Plural(report.Count(Severity::Error), "error") << ", "
        << Plural(report.Count(Severity::Warning), "warning") << ", "
        << Plural(report.Count(Severity::Note), "note") << ".\n";
}

void WriteJson(const CheckReport& report, ReportOut& out) {
    {
        JsonObjectOut document(out);
        document.Member("script", Text(report.script));
        document.Member("game", report.gameGiven ? Text(report.gameDirectory) : nullptr);
        document.Member("cmdline", Text(report.commandLine));
        document.Member("loaded", report.loaded);
        document.Member("errors", report.Count(Severity::Error));
        document.Member("warnings", report.Count(Severity::Warning));
        document.Member("notes", report.Count(Severity::Note));
        document.ListMember("findings", report.findings, FindingJson);
        document.ListMember("commands", report.commands, CommandJson);
        if (report.dryRun) {
            WriteDryRunJson(*report.dryRun, document.Open("dryRun"));
        } else {
            document.Member("dryRun", nullptr);
        }
        document.Member("leftOut", LeftOut(report));
    }
    out << '\n';
}

}  // namespace srdw::check
