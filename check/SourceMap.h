// Where each byte of a script's cleaned text stood in the file, so that findings
// can name a line and a column, and what the cleaning dropped that matters to a
// mod author: comments and quoted runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace srdw::check {

struct SourcePosition {
    std::size_t line = 0;    // 1-based
    std::size_t column = 0;  // 1-based, in bytes
};

struct SourceSpan {
    std::size_t at = 0;      // offset in the file
    std::size_t length = 0;  // bytes
};

class SourceMap {
  public:
    // Cleans `source` exactly as the launcher does; `source` must outlive the map.
    explicit SourceMap(std::string_view source);

    // The cleaned text the launcher parses; empty when a quote is not closed.
    std::string_view CleanText() const { return clean_; }
    // The offset of the quote that is never closed, if one is not.
    std::optional<std::size_t> UnclosedQuote() const { return unclosedQuote_; }
    const std::vector<SourceSpan>& Comments() const { return comments_; }
    const std::vector<SourceSpan>& QuotedRuns() const { return quoted_; }

    // The file offset of the cleaned text's byte at `cleanOffset`; the end of
    // the file for the offset just past the cleaned text.
    std::size_t SourceOffset(std::size_t cleanOffset) const;
    // The file offset of a view into CleanText().
    std::size_t SourceOffset(std::string_view inClean) const {
        return SourceOffset(static_cast<std::size_t>(inClean.data() - clean_.data()));
    }
    // The cleaned text's offset where the byte at `sourceOffset` went or would go.
    std::size_t CleanOffsetAt(std::size_t sourceOffset) const;
    SourcePosition PositionOf(std::size_t sourceOffset) const;
    std::string_view Source() const { return source_; }

    // Where each stretch of cleaned bytes that stood side by side in the file
    // starts, in both; a stretch ends where the next one starts.
    struct Stretch {
        std::uint32_t clean;
        std::uint32_t source;
    };

  private:
    std::string_view source_;
    std::string clean_;
    std::vector<Stretch> stretches_;  // in the order of both
    std::vector<std::uint32_t> lineStarts_;
    std::vector<SourceSpan> comments_;
    std::vector<SourceSpan> quoted_;
    std::optional<std::size_t> unclosedQuote_;
};

}  // namespace srdw::check
