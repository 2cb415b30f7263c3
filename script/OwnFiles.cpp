#include "script/OwnFiles.h"

#include <algorithm>

#include "platform/NameCase.h"
#include "script/PathModel.h"

namespace srdw {

OwnFiles::OwnFiles(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        if (path.empty()) {
            continue;
        }
        const ResolvedPath resolved = ResolveAbsolute(path);
        keys_.push_back(PathKey(resolved));
        for (const auto& part : resolved.parts) {
            names_.push_back(FoldNameCase(part));
        }
    }
    // The paths share their folders: each name is looked at once.
    std::sort(names_.begin(), names_.end());
    names_.erase(std::unique(names_.begin(), names_.end()), names_.end());
}

bool OwnFiles::Holds(std::string_view path, const std::string& directory) const {
    if (keys_.empty() || path.empty()) {
        return false;
    }
    // Most names are no part of the launcher's paths: they cost no look at the
    // current directory.
    const std::string_view name = path.substr(NameStart(path));
    const auto sameSize = [name](const std::string& own) { return own.size() == name.size(); };
    if (!name.empty() && name != "." && name != ".." &&
        (std::none_of(names_.begin(), names_.end(), sameSize) ||
         std::find(names_.begin(), names_.end(), FoldNameCase(std::string(name))) ==
             names_.end())) {
        return false;
    }
    const std::string key = PathKey(Resolve(ResolveAbsolute(directory), path));
    return std::any_of(keys_.begin(), keys_.end(),
                       [&key](const std::string& own) { return IsAtOrBelow(own, key); });
}

}  // namespace srdw
