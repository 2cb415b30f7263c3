// What the POSIX file system and desktop share; nothing above platform/posix/ uses it.
#pragma once

#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace srdw::posix {

// The launcher's category of a failure with this errno value.
OsError ErrorFromErrno(int error);
// The failure that errno tells of now.
OsResult LastError();

// Replaces a file's content so that a reader sees the old or the new text, never a mix.
OsResult ReplaceFileContent(const std::string& path, std::string_view content);
// The file beside `path` that ReplaceFileContent writes first.
inline std::string TemporaryFileOf(const std::string& path) {
    return path + ".tmp";
}

}  // namespace srdw::posix
