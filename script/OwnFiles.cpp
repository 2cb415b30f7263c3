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
        ResolvedPath resolved = ResolveAbsolute(path);
        keys_.push_back(PathKey(resolved));
        for (const auto& part : resolved.parts) {
            names_.push_back(FoldNameCase(part));
        }
        for (; !resolved.parts.empty(); resolved.parts.pop_back()) {
            places_.push_back(resolved.Text());
        }
    }
    // The paths share their folders: each name is looked at once.
    for (auto* texts : {&names_, &places_}) {
        std::sort(texts->begin(), texts->end());
        texts->erase(std::unique(texts->begin(), texts->end()), texts->end());
    }
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

bool OwnFiles::Holds(const std::optional<FileAttributes>& found) const {
    return found && found->identity.known &&
           std::find(identities_.begin(), identities_.end(), found->identity) != identities_.end();
}

void OwnFiles::Identify(FileSystem& files) {
    identities_.clear();
    for (const PathState& state : files.LookUp(places_)) {
        if (state.attributes && state.attributes->identity.known) {
            identities_.push_back(state.attributes->identity);
        }
    }
}

}  // namespace srdw
