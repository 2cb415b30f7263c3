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

bool FileBuffer::SaveToFile(const std::string& path) const {
    if (path.empty() || IsEmpty()) {
        return false;
    }
    auto file = Os().CreateOutputFile(path);
    return file && file->Write(data_);
}

bool FileBuffer::Assign(std::string_view bytes) {
    if (bytes.empty()) {
        return false;
    }
    data_.assign(bytes);
    return true;
}

bool FileBuffer::Assign(std::string&& bytes) {
    if (bytes.empty()) {
        return false;
    }
    data_ = std::move(bytes);
    return true;
}

}  // namespace srdw
