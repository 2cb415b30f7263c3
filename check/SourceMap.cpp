#include "check/SourceMap.h"

#include <algorithm>

#include "script/ScriptText.h"

namespace srdw::check {

namespace {

struct MappingReader {
    std::string_view source;
    std::string& clean;
    std::vector<std::uint32_t>& toSource;
    std::vector<SourceSpan>& comments;
    std::vector<SourceSpan>& quoted;
    std::optional<std::size_t>& unclosedQuote;

    void Keep(std::size_t at) {
        clean.push_back(source[at]);
        toSource.push_back(static_cast<std::uint32_t>(at));
    }
    void Quoted(std::size_t at, std::size_t length) {
        quoted.push_back({at, length});
        for (std::size_t i = at; i < at + length; ++i) {
            Keep(i);
        }
    }
    void Comment(std::size_t at, std::size_t end) { comments.push_back({at, end - at}); }
    void UnclosedQuote(std::size_t at) { unclosedQuote = at; }
};

}  // namespace

SourceMap::SourceMap(std::string_view source) : source_(source) {
    MappingReader reader{source, clean_, toSource_, comments_, quoted_, unclosedQuote_};
    if (!ScanScriptText(source, reader)) {
        clean_.clear();
        toSource_.clear();
    }
    lineStarts_.push_back(0);
    for (std::size_t i = 0; i < source.size(); ++i) {
        // LF, CR LF and a lone CR each end a line.
        if (source[i] == '\n' ||
            (source[i] == '\r' && (i + 1 == source.size() || source[i + 1] != '\n'))) {
            lineStarts_.push_back(i + 1);
        }
    }
}

std::size_t SourceMap::SourceOffset(std::size_t cleanOffset) const {
    return cleanOffset < toSource_.size() ? toSource_[cleanOffset] : source_.size();
}

std::size_t SourceMap::CleanOffsetAt(std::size_t sourceOffset) const {
    const auto next = std::lower_bound(toSource_.begin(), toSource_.end(), sourceOffset);
    return static_cast<std::size_t>(next - toSource_.begin());
}

SourcePosition SourceMap::PositionOf(std::size_t sourceOffset) const {
    const auto after = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), sourceOffset);
    const std::size_t line = static_cast<std::size_t>(after - lineStarts_.begin());
    return {line, sourceOffset - lineStarts_[line - 1] + 1};
}

}  // namespace srdw::check
