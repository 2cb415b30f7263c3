#include "script/FileBuffer.h"

#include "platform/Platform.h"

namespace srdw {

bool FileBuffer::LoadFromFile(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    Clear();
    if (auto bytes = Os().ReadWholeFile(path)) {
        data_ = std::move(*bytes);
    }
    return !IsEmpty();
}

}  // namespace srdw
