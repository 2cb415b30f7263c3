#include "script/OwnFiles.h"

#include <algorithm>

#include "script/PathModel.h"

namespace srdw {

OwnFiles::OwnFiles(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        if (path.empty()) {
            continue;
        }
        const ResolvedPath resolved = ResolveAbsolute(path);
        keys_.push_back(PathKey(resolved));
        names_.insert(names_.end(), resolved.parts.begin(), resolved.parts.end());
    }
}

bool OwnFiles::Holds(std::string_view path, const std::string& directory) const {
    if (keys_.empty() || path.empty()) {
        return false;
    }
    // Most names are no part of the launcher's paths: they cost no look at the
    // current directory.
    const std::string_view name = path.substr(path.find_last_of("\\/") + 1);
    const auto named = [name](const std::string& own) { return SameName(own, name); };
    if (!name.empty() && name != "." && name != ".." &&
        std::none_of(names_.begin(), names_.end(), named)) {
        return false;
    }
    const std::string key = PathKey(Resolve(ResolveAbsolute(directory), path));
    return std::any_of(keys_.begin(), keys_.end(),
                       [&key](const std::string& own) { return IsAtOrBelow(own, key); });
}

}  // namespace srdw
