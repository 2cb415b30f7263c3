#include "check/WalkVerdicts.h"

#include <algorithm>
#include <string_view>

namespace srdw::check {

namespace {

std::string OneLine(std::string_view words) {
    std::string line;
    while (!words.empty()) {
        const auto end = std::min(words.find('\n'), words.size());
        const std::string_view piece = words.substr(0, end);
        words.remove_prefix(std::min(end + 1, words.size()));
        if (piece.empty()) {
            continue;
        }
        const auto text = piece.find_first_not_of(' ');
        line += line.empty() ? "" : " ";
        line += text == std::string_view::npos ? std::string_view() : piece.substr(text);
    }
    return line;
}

// The argument the words blame: on their first line that names one, quoted as
// the engine quotes a path it speaks of, the one named last ("failed to rename
// 'a' to 'b'" blames the target, whose folder is what is missing).
std::optional<std::size_t> ArgumentAtFault(const std::vector<std::string>& paths,
                                           std::string_view words) {
    while (!words.empty()) {
        const auto end = std::min(words.find('\n'), words.size());
        const std::string_view line = words.substr(0, end);
        words.remove_prefix(std::min(end + 1, words.size()));
        std::optional<std::size_t> blamed;
        std::size_t lastAt = 0;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            const auto at = paths[i].empty() ? std::string_view::npos : line.rfind(paths[i]);
            if (at != std::string_view::npos && (!blamed || at > lastAt)) {
                blamed = i;
                lastAt = at;
            }
        }
        if (blamed) {
            return blamed;
        }
    }
    return std::nullopt;
}

}  // namespace

void WalkVerdicts::CommandStarted(const CommandDefinition& command) {
    ScriptObserverRelay::CommandStarted(command);
    if (started_) {
        started_();
    }
    paths_.clear();
    words_.clear();
}

void WalkVerdicts::PathExpanded(std::string_view source, std::optional<std::string_view> expanded) {
    ScriptObserverRelay::PathExpanded(source, expanded);
    paths_.push_back(expanded && !expanded->empty() ? "'" + std::string(*expanded) + "'"
                                                    : std::string());
}

void WalkVerdicts::Said(std::string_view words) {
    ScriptObserverRelay::Said(words);
    words_ += words;
}

void WalkVerdicts::CommandFinished(Verdict verdict) {
    ScriptObserverRelay::CommandFinished(verdict);
    if (verdict == Verdict::Failed && failed_) {
        failed_(command_, ArgumentAtFault(paths_, words_), OneLine(words_));
    }
    ++command_;
    words_.clear();
}

}  // namespace srdw::check
