// Texts kept for as long as their store lives, in blocks whose bytes never
// move, so that views into them hold: a long run keeps thousands of short
// names and paths, not worth an allocation each. A text given up keeps its
// bytes until the store goes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace srdw {

class TextStore {
  public:
    TextStore() = default;
    explicit TextStore(std::size_t blockSize) : blockSize_(blockSize) {}

    std::string_view Keep(std::string_view text) {
        if (blocks_.empty() || blocks_.back()->capacity() - blocks_.back()->size() < text.size()) {
            blocks_.push_back(std::make_unique<std::string>());
            blocks_.back()->reserve(std::max(blockSize_, text.size()));
        }
        std::string& block = *blocks_.back();  // never grows past what it reserved
        block.append(text);
        return std::string_view(block).substr(block.size() - text.size());
    }

  private:
    std::size_t blockSize_ = std::size_t{64} * 1024;
    std::vector<std::unique_ptr<std::string>> blocks_;
};

}  // namespace srdw
