#include "platform/FileSystem.h"

namespace srdw {

namespace {
FileSystem* g_installed = nullptr;
}

FileSystem* InstalledFileSystem() {
    return g_installed;
}

void SetFiles(FileSystem* files) {
    g_installed = files;
}

}  // namespace srdw
