#include "check/Report.h"

#include <string_view>

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
                std::ostream& out) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        out << indent << text.substr(0, end) << '\n';
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    if (leftOut > 0) {
        out << indent << "... " << Plural(leftOut, "more line") << ", not listed\n";
    }
}

void WriteCommands(const CheckReport& report, std::ostream& out) {
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
                  std::ostream& out) {
    if (differences.empty()) {
        out << "  " << after << ", every path is back where it was.\n";
        return;
    }
    out << "  " << after << ", the game directory is NOT as it was:\n";
    for (const auto& line : differences) {
        out << "    " << line << '\n';
    }
}

void WriteDryRun(const CheckReport& report, std::ostream& out) {
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
           "/recover) would log:\n";
    WriteLines(run.recoveryLog, run.recoveryLinesLeftOut, "    ", out);
    WriteVerdict("After that recovery", run.notRecovered, out);
}

// JSON strings: text that is valid UTF-8 passes; other bytes at or above 0x80
// (a Windows code page) come out as the characters U+0080 to U+00FF.
bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = byte < 0x80           ? 1
                                   : (byte >> 5) == 0x6  ? 2
                                   : (byte >> 4) == 0xE  ? 3
                                   : (byte >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

std::string Json(std::string_view text) {
    const bool utf8 = IsUtf8(text);
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || (byte >= 0x80 && !utf8)) {
            static constexpr char kHex[] = "0123456789abcdef";
            quoted += "\\u00";
            quoted += kHex[byte >> 4];
            quoted += kHex[byte & 0xF];
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string JsonOrNull(const std::optional<std::string>& text) {
    return text ? Json(*text) : "null";
}

template <typename Item, typename WriteItem>
void JsonList(std::ostream& out, const std::vector<Item>& items, WriteItem write) {
    out << '[';
    for (std::size_t i = 0; i < items.size(); ++i) {
        out << (i ? "," : "");
        write(items[i]);
    }
    out << ']';
}

std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

void JsonStrings(std::ostream& out, const std::vector<std::string>& items) {
    JsonList(out, items, [&](const std::string& item) { out << Json(item); });
}

void JsonPosition(std::ostream& out, const std::optional<SourcePosition>& where) {
    if (where) {
        out << "\"line\":" << where->line << ",\"column\":" << where->column;
    } else {
        out << "\"line\":null,\"column\":null";
    }
}

// What the report does not list: {"findings":[{"code","severity","count"}],
// "commands":N,"install":N,"restore":N,"recovery":N}.
void WriteJsonLeftOut(const CheckReport& report, std::ostream& out) {
    out << ",\n\"leftOut\":{\"findings\":[";
    const char* separator = "";
    for (const auto& [code, tally] : report.tallies) {
        if (tally.count > kListedFindingsPerCode) {
            out << separator << "{\"code\":" << Json(code) << ",\"severity\":\""
                << SeverityName(tally.severity)
                << "\",\"count\":" << tally.count - kListedFindingsPerCode << '}';
            separator = ",";
        }
    }
    out << "],\"commands\":" << report.commandCount - report.commands.size();
    if (report.dryRun) {
        out << ",\"install\":" << report.dryRun->installLinesLeftOut
            << ",\"restore\":" << report.dryRun->restoreLinesLeftOut
            << ",\"recovery\":" << report.dryRun->recoveryLinesLeftOut;
    }
    out << '}';
}

}  // namespace

void WriteText(const CheckReport& report, std::ostream& out) {
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

void WriteJson(const CheckReport& report, std::ostream& out) {
    out << "{\"script\":" << Json(report.script)
        << ",\"game\":" << (report.gameGiven ? Json(report.gameDirectory) : "null")
        << ",\"cmdline\":" << Json(report.commandLine)
        << ",\"loaded\":" << (report.loaded ? "true" : "false")
        << ",\"errors\":" << report.Count(Severity::Error)
        << ",\"warnings\":" << report.Count(Severity::Warning)
        << ",\"notes\":" << report.Count(Severity::Note) << ",\n\"findings\":";
    JsonList(out, report.findings, [&](const Finding& finding) {
        out << "\n {\"severity\":\"" << SeverityName(finding.severity) << "\",";
        JsonPosition(out, finding.where);
        out << ",\"code\":" << Json(finding.code) << ",\"message\":" << Json(finding.message)
            << '}';
    });
    out << ",\n\"commands\":";
    JsonList(out, report.commands, [&](const CheckedCommand& command) {
        out << "\n {\"number\":" << command.number << ',';
        JsonPosition(out, command.where);
        out << ",\"name\":" << Json(command.name)
            << ",\"known\":" << (command.known ? "true" : "false")
            << ",\"directory\":" << Json(command.directory) << ",\"arguments\":";
        JsonList(out, command.arguments, [&](const CheckedArgument& argument) {
            out << "{\"text\":" << Json(argument.text) << ',';
            JsonPosition(out, argument.where);
            out << ",\"install\":" << JsonOrNull(argument.install)
                << ",\"restore\":" << JsonOrNull(argument.restore) << '}';
        });
        out << '}';
    });
    out << ",\n\"dryRun\":";
    if (!report.dryRun) {
        out << "null";
    } else {
        const DryRunResult& run = *report.dryRun;
        out << "{\"install\":";
        JsonStrings(out, Lines(run.installLog));
        out << ",\n \"whileGameRuns\":";
        JsonList(out, run.whileGameRuns, [&](const Placement& placement) {
            out << "{\"path\":" << Json(placement.path) << ",\"was\":" << Json(placement.was)
                << ",\"directory\":" << (placement.directory ? "true" : "false") << '}';
        });
        out << ",\n \"restore\":";
        JsonStrings(out, Lines(run.restoreLog));
        out << ",\n \"notRestored\":";
        JsonStrings(out, run.notRestored);
        out << ",\n \"restored\":" << (run.notRestored.empty() ? "true" : "false");
        out << ",\n \"recovery\":";
        JsonStrings(out, Lines(run.recoveryLog));
        out << ",\n \"notRecovered\":";
        JsonStrings(out, run.notRecovered);
        out << ",\n \"recovered\":" << (run.notRecovered.empty() ? "true" : "false") << '}';
    }
    WriteJsonLeftOut(report, out);
    out << "}\n";
}

}  // namespace srdw::check
