#include "script/FileBuffer.h"

namespace srdw {

bool FileBuffer::LoadFromFile(FileSystem& files, const std::string& path) {
    if (path.empty()) {
        return false;
    }
    Clear();
    if (auto bytes = files.ReadWholeFile(path)) {
        data_ = std::move(*bytes);
    }
    return !IsEmpty();
}

}  // namespace srdw
