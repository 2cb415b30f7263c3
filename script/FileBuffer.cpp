#include "script/FileBuffer.h"

#include "platform/FileSystem.h"

namespace srdw {

bool FileBuffer::LoadFromFile(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    Clear();
    if (auto bytes = Files().ReadWholeFile(path)) {
        data_ = std::move(*bytes);
    }
    return !IsEmpty();
}

}  // namespace srdw
