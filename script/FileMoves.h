// The file operations that every script command is made of.
#pragma once

#include <optional>
#include <string>

#include "platform/Platform.h"

namespace srdw {

// Clears a path's attributes, so that a read-only file can be moved, and puts
// them back when it goes out of scope, on the file under whatever name it has
// moved to by then: a move never leaves a read-only game file writable.
class AttributeKeeper {
  public:
    explicit AttributeKeeper(std::string path);
    ~AttributeKeeper();
    AttributeKeeper(const AttributeKeeper&) = delete;
    AttributeKeeper& operator=(const AttributeKeeper&) = delete;

    // Whether the path existed (a directory counts) when the keeper was made.
    bool Existed() const { return saved_.has_value(); }
    void MovedTo(const std::string& path) { path_ = path; }

  private:
    std::string path_;
    std::optional<FileAttributes> saved_;
};

inline bool Exists(const std::string& path) {
    return Os().Attributes(path).has_value();
}

// Moves a file or directory; never replaces an existing target.
bool MovePath(const std::string& from, const std::string& to);

}  // namespace srdw
