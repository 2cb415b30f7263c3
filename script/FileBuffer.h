// A whole file's bytes in memory.
#pragma once

#include <string>
#include <utility>

#include "platform/FileSystem.h"

namespace srdw {

class FileBuffer {
  public:
    void Clear() {
        data_.clear();
        data_.shrink_to_fit();
    }
    // Replaces the content with the whole file. False, with the buffer empty, when
    // the file cannot be read or is empty.
    bool LoadFromFile(FileSystem& files, const std::string& path);
    bool IsEmpty() const { return data_.empty(); }
    // Hands the bytes over, leaving the buffer empty.
    std::string Release() { return std::move(data_); }

  private:
    std::string data_;
};

}  // namespace srdw
