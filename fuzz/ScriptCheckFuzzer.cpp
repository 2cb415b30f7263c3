// Runs SrdwCheck's analysis on arbitrary bytes as a script: a mod author's file
// may hold anything. Besides the sanitizers, it checks that the checker sees the
// same text and calls as the launcher and that every position it reports lies
// in the file, on the byte it names.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "check/ScriptCheck.h"
#include "script/ScriptText.h"
#include "script/SourceMap.h"

namespace {

using srdw::fuzz::Require;

// Where each line starts, as the checker counts lines: LF, CR LF or a lone CR.
std::vector<std::size_t> LineStarts(std::string_view source) {
    std::vector<std::size_t> starts{0};
    for (std::size_t i = 0; i < source.size(); ++i) {
        if (source[i] == '\n' ||
            (source[i] == '\r' && (i + 1 == source.size() || source[i + 1] != '\n'))) {
            starts.push_back(i + 1);
        }
    }
    return starts;
}

std::size_t OffsetOf(const std::vector<std::size_t>& starts, std::size_t fileSize,
                     const srdw::SourcePosition& where) {
    Require(where.line >= 1 && where.line <= starts.size(), "a finding's line is in the file");
    const std::size_t lineEnd = where.line < starts.size() ? starts[where.line] : fileSize;
    const std::size_t offset = starts[where.line - 1] + where.column - 1;
    Require(where.column >= 1 && offset <= lineEnd, "a finding's column is on its line");
    return offset;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view source(reinterpret_cast<const char*>(data), size);

    // The positions rest on the checker cleaning exactly as the launcher does.
    const srdw::SourceMap map(source);
    std::string launcherText(size, '\0');
    const auto cleanLength = srdw::CleanScriptText(source, launcherText.data());
    Require(cleanLength.has_value() == !map.UnclosedQuote().has_value(),
            "the checker finds an unclosed quote exactly when the launcher does");
    if (cleanLength) {
        launcherText.resize(*cleanLength);
        Require(map.CleanText() == launcherText, "the checker cleans as the launcher does");
    }

    const auto report = srdw::check::CheckScript("fuzz.dat", source, {});
    const auto starts = LineStarts(source);
    for (const auto& finding : report.findings) {
        if (finding.where) {
            OffsetOf(starts, size, *finding.where);
        }
        Require(!finding.message.empty() && !finding.code.empty(), "a finding says what and why");
    }

    if (cleanLength) {
        std::vector<srdw::ScriptCommand> commands;
        std::vector<std::string_view> arguments;
        srdw::ParseCalls(launcherText, commands, arguments);
        Require(
            report.commandCount == commands.size() &&
                report.commands.size() == std::min(commands.size(), srdw::check::kListedCommands),
            "the checker counts every call the launcher parses and lists the first");
        for (std::size_t i = 0; i < report.commands.size(); ++i) {
            Require(report.commands[i].name == commands[i].name, "the same names, in order");
            const auto& checked = report.commands[i].arguments;
            for (std::size_t a = 0; a < checked.size(); ++a) {
                Require(a < commands[i].args.size() && checked[a].text == commands[i].args[a],
                        "the same arguments, each ending where the launcher's ends");
            }
            if (!commands[i].name.empty()) {
                const std::size_t at = OffsetOf(starts, size, report.commands[i].where);
                Require(at < size && source[at] == commands[i].name.front(),
                        "a command's position is its name's first byte");
            }
        }
    }

    static_cast<void>(srdw::check::TextReport(report));
    static_cast<void>(srdw::check::JsonReport(report));
    return 0;
}
