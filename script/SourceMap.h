// Where each byte of a script's cleaned text stood in the file, so that a load
// error or a finding can name a line and a column, and what the cleaning
// dropped that matters to a mod author: comments and quoted runs. Also why a
// script that was read does not load, told where it stands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace srdw {

struct SourcePosition {
    std::size_t line = 0;    // 1-based
    std::size_t column = 0;  // 1-based, in bytes
};

struct SourceSpan {
    std::size_t at = 0;      // offset in the file
    std::size_t length = 0;  // bytes
};

// A comment, and the cleaned text's offset where it would have gone: a quoted
// run, one of each argument of a long script, does not need to know.
struct CommentSpan : SourceSpan {
    std::size_t clean = 0;
};

class SourceMap {
  public:
    // Cleans `source` exactly as the launcher does; `source` must outlive the map.
    explicit SourceMap(std::string_view source);

    // Up to a quote that is not closed.
    std::string_view CleanText() const { return clean_; }
    std::optional<std::size_t> UnclosedQuote() const { return unclosedQuote_; }
    const std::vector<CommentSpan>& Comments() const { return comments_; }
    const std::vector<SourceSpan>& QuotedRuns() const { return quoted_; }

    // The file offset of the cleaned text's byte at `cleanOffset`; the end of
    // the file for the offset just past the cleaned text.
    std::size_t SourceOffset(std::size_t cleanOffset) const;
    SourcePosition PositionOf(std::size_t sourceOffset) const;
    bool OnOneLine(const SourceSpan& span) const {
        return PositionOf(span.at).line == PositionOf(span.at + span.length - 1).line;
    }
    std::string_view Source() const { return source_; }

  private:
    // Where each stretch of cleaned bytes that stood side by side in the file
    // starts, in both; a stretch ends where the next one starts.
    struct Stretch {
        std::uint32_t clean;
        std::uint32_t source;
    };
    struct Reader;

    std::string_view source_;
    std::string clean_;
    std::vector<Stretch> stretches_;  // in the order of both
    std::vector<std::uint32_t> lineStarts_;
    std::vector<CommentSpan> comments_;
    std::vector<SourceSpan> quoted_;
    std::optional<std::size_t> unclosedQuote_;
};

// Why the launcher refuses a script it read, and where its reader or its
// parser stopped.
struct LoadFault {
    std::string_view code;     // a stable name, such as "unclosed-quote"
    std::string_view logLine;  // the launcher's own log line for it, without its line end
    std::size_t at = 0;        // the offset in the file where it stands
    std::string what;          // what is wrong there, for the mod's author
};

// The fault of a script that was read but does not load: a quote that is never
// closed, or else the call at `reach`, the cleaned text's offset where
// ParseCalls stopped.
LoadFault FindLoadFault(const SourceMap& map, std::size_t reach);

// Cut to its first 40 bytes.
std::string Excerpt(std::string_view text);

}  // namespace srdw
