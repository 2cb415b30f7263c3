#include "script/SourceMap.h"

#include <algorithm>

#include "script/ScriptText.h"

namespace srdw {

// Keeps what the scan keeps, and where each stretch of it stood.
struct SourceMap::Reader {
    SourceMap& map;
    std::size_t nextSource = 0;  // where the last stretch goes on in the file

    void Keep(std::size_t at) { Copy(at, 1); }
    void Quoted(std::size_t at, std::size_t length) {
        map.quoted_.push_back({at, length});
        Copy(at, length);
    }
    void Comment(std::size_t at, std::size_t end) {
        map.comments_.push_back({{at, end - at}, map.clean_.size()});
    }

    void Copy(std::size_t at, std::size_t length) {
        if (map.stretches_.empty() || at != nextSource) {
            map.stretches_.push_back(
                {static_cast<std::uint32_t>(map.clean_.size()), static_cast<std::uint32_t>(at)});
        }
        map.clean_.append(map.source_.substr(at, length));
        nextSource = at + length;
    }
};

SourceMap::SourceMap(std::string_view source) : source_(source) {
    // Offsets are kept in 32 bits, as the launcher's own sizes are.
    clean_.reserve(source.size());
    Reader reader{*this};
    unclosedQuote_ = ScanScriptText(source, reader);
    lineStarts_.push_back(0);
    for (std::size_t i = 0; i < source.size(); ++i) {
        // LF, CR LF and a lone CR each end a line.
        if (source[i] == '\n' ||
            (source[i] == '\r' && (i + 1 == source.size() || source[i + 1] != '\n'))) {
            lineStarts_.push_back(static_cast<std::uint32_t>(i + 1));
        }
    }
    // A huge script's map is held through the whole check: no room to spare.
    clean_.shrink_to_fit();
    stretches_.shrink_to_fit();
    lineStarts_.shrink_to_fit();
}

std::size_t SourceMap::SourceOffset(std::size_t cleanOffset) const {
    if (cleanOffset >= clean_.size()) {
        return source_.size();
    }
    const auto after =
        std::upper_bound(stretches_.begin(), stretches_.end(), cleanOffset,
                         [](std::size_t offset, const Stretch& s) { return offset < s.clean; });
    const Stretch& stretch = *std::prev(after);
    return stretch.source + (cleanOffset - stretch.clean);
}

SourcePosition SourceMap::PositionOf(std::size_t sourceOffset) const {
    const auto after = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), sourceOffset);
    const std::size_t line = static_cast<std::size_t>(after - lineStarts_.begin());
    return {line, sourceOffset - lineStarts_[line - 1] + 1};
}

std::string Excerpt(std::string_view text) {
    constexpr std::size_t kLongest = 40;
    return text.size() <= kLongest ? std::string(text)
                                   : std::string(text.substr(0, kLongest)) + "...";
}

namespace {

// The reader pairs quotes in order: one that is missing pairs every quote after
// it with the next, across line ends, and leaves the last one open, often far
// below the mistake. The first quoted run that crosses a line end is where the
// pairing went wrong.
LoadFault UnclosedQuoteFault(const SourceMap& map, std::size_t lastQuote) {
    LoadFault fault{"unclosed-quote", "ERROR: Script is incorrect!", lastQuote, {}};
    const std::string lastLine = std::to_string(map.PositionOf(lastQuote).line);
    for (const auto& run : map.QuotedRuns()) {
        if (!map.OnOneLine(run)) {
            fault.at = run.at;
            fault.what = "this '\"' is not closed on its line: it runs to the '\"' on line " +
                         std::to_string(map.PositionOf(run.at + run.length - 1).line) +
                         ", and every quote after it pairs with the wrong one, up to the last, "
                         "on line " +
                         lastLine + ", which is never closed";
            return fault;
        }
    }
    fault.what = "this '\"' is never closed: it runs to the end of the file, on line " +
                 std::to_string(map.PositionOf(map.Source().size() - 1).line);
    return fault;
}

}  // namespace

LoadFault FindLoadFault(const SourceMap& map, std::size_t reach) {
    if (const auto quote = map.UnclosedQuote()) {
        return UnclosedQuoteFault(map, *quote);
    }
    const std::string_view clean = map.CleanText();
    LoadFault fault{{}, "ERROR in script!", map.SourceOffset(reach), {}};
    const auto open = clean.find('(', reach);
    if (open == std::string_view::npos) {
        fault.code = "text-after-last-call";
        fault.what = "'" + Excerpt(clean.substr(reach)) + "' is not a call: no '(' follows it";
        return fault;
    }
    fault.code = "unclosed-call";
    fault.what =
        "the call '" + Excerpt(clean.substr(reach, open - reach)) + "(' is never closed by ')'";
    const std::size_t openInSource = map.SourceOffset(open);
    for (const auto& comment : map.Comments()) {
        if (comment.at > openInSource &&
            map.Source().substr(comment.at, comment.length).find(')') != std::string_view::npos) {
            fault.what += ": the '//' comment on line " +
                          std::to_string(map.PositionOf(comment.at).line) + " swallowed a ')'";
            break;
        }
    }
    return fault;
}

}  // namespace srdw
