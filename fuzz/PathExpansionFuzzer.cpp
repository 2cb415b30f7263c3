// Expands arbitrary script arguments with arbitrary "@rootdir" and "@cmdline"
// values and compares the result with a plain reference expansion, including
// where the 511-character limit falls.
//
// Input: "ROOTDIR\0CMDLINE\0SOURCE" when it holds two NUL bytes, so the source may
// hold NULs itself, as a quoted script argument can. Otherwise the whole input is
// the source, expanded with an ordinary game folder and command line.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "script/PathExpansion.h"

namespace {

using srdw::fuzz::Require;

constexpr std::string_view kDefaultRootDir = "C:\\Games\\Skyrend 2";
constexpr std::string_view kDefaultCommandLine = "-window -nosound";

struct Input {
    std::string_view source;
    std::string_view rootDir = kDefaultRootDir;
    std::string_view commandLine = kDefaultCommandLine;
};

Input Split(std::string_view bytes) {
    const auto first = bytes.find('\0');
    const auto second = first == std::string_view::npos ? first : bytes.find('\0', first + 1);
    if (second == std::string_view::npos) {
        return Input{bytes};
    }
    return Input{bytes.substr(second + 1), bytes.substr(0, first),
                 bytes.substr(first + 1, second - first - 1)};
}

// Placeholders match in any letter case of A to Z; no other byte folds.
bool PlaceholderAt(std::string_view source, std::size_t at, std::string_view lowerWord) {
    if (source.size() - at < lowerWord.size()) {
        return false;
    }
    for (std::size_t i = 0; i < lowerWord.size(); ++i) {
        const char c = source[at + i];
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
        if (lower != lowerWord[i]) {
            return false;
        }
    }
    return true;
}

// The expansion without any length limit: quotes go, placeholders are replaced
// from left to right, and inserted values are never scanned again.
std::string ReferenceExpand(const Input& input) {
    std::string expanded;
    std::size_t at = 0;
    while (at < input.source.size()) {
        if (input.source[at] == '"') {
            ++at;
        } else if (PlaceholderAt(input.source, at, "@rootdir")) {
            expanded += input.rootDir;
            at += 8;
        } else if (PlaceholderAt(input.source, at, "@cmdline")) {
            expanded += input.commandLine;
            at += 8;
        } else {
            expanded += input.source[at++];
        }
    }
    return expanded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Input input = Split(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string expected = ReferenceExpand(input);

    const std::optional<std::string> expanded =
        srdw::ExpandArgument(input.source, input.rootDir, input.commandLine);
    Require(expanded.has_value() == (expected.size() <= srdw::kMaxExpandedPath),
            "an expansion is refused exactly when it would be longer than 511 characters");
    if (expanded) {
        Require(expanded->size() <= srdw::kMaxExpandedPath,
                "an expansion is never longer than 511 characters");
        const bool valuesHaveQuotes = input.rootDir.find('"') != std::string_view::npos ||
                                      input.commandLine.find('"') != std::string_view::npos;
        Require(valuesHaveQuotes || expanded->find('"') == std::string::npos,
                "the source's quotes are removed; only inserted values bring quotes");
        Require(*expanded == expected, "the expansion is the reference expansion");
    }

    return 0;
}
