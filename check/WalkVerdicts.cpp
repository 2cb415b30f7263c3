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

}  // namespace

void WalkVerdicts::CommandStarted(const CommandDefinition& command) {
    next_.CommandStarted(command);
    words_.clear();
}

void WalkVerdicts::Said(std::string_view words) {
    next_.Said(words);
    words_ += words;
}

void WalkVerdicts::CommandFinished(Verdict verdict) {
    next_.CommandFinished(verdict);
    if (verdict == Verdict::Failed && failed_) {
        failed_(command_, OneLine(words_));
    }
    ++command_;
    words_.clear();
}

}  // namespace srdw::check
