#include "script/PlannedFolder.h"

#include "script/PathModel.h"

namespace srdw {

namespace {

std::string LastPart(const std::string& path) {
    return path.substr(path.find_last_of("\\/") + 1);
}

std::string WithLastPart(const std::string& path, const std::string& name) {
    return path.substr(0, path.find_last_of("\\/") + 1) + name;
}

bool IsAbsolute(const std::string& path) {
    return (!path.empty() && (path.front() == '\\' || path.front() == '/')) ||
           (path.size() >= 2 && path[1] == ':');
}

}  // namespace

PlannedFolder::PlannedFolder(FileSystem& disk) : disk_(disk), current_(disk.WorkingDirectory()) {}

std::string PlannedFolder::Absolute(const std::string& path) const {
    if (IsAbsolute(path)) {
        return path;
    }
    const bool separated = !current_.empty() && (current_.back() == '\\' || current_.back() == '/');
    return current_ + (separated ? "" : "\\") + path;
}

// The nearest entry of the plan at the path or a folder above it decides;
// without one the disk is as the plan has it.
PlannedFolder::Mapping PlannedFolder::Map(const std::string& full) const {
    if (placed_.empty()) {
        return {full, nullptr};
    }
    const std::string key = PathKey(full);
    // Folders above matter only once a folder has been moved.
    const std::size_t last = movedFolders_ ? 0 : key.size();
    for (std::size_t end = key.size(); end != std::string::npos && end > last;
         end = key.rfind('\\', end - 1)) {
        const auto found = placed_.find(key.substr(0, end));
        if (found == placed_.end()) {
            continue;
        }
        const Placed& placed = found->second;
        if (!placed.attributes) {
            return {};
        }
        if (end == key.size()) {
            return {placed.onDisk, &placed};
        }
        return {placed.onDisk + full.substr(end), nullptr};
    }
    return {full, nullptr};
}

std::vector<PathState> PlannedFolder::LookUp(std::span<const std::string> paths, bool storedNames) {
    std::vector<PathState> states(paths.size());
    std::vector<std::string> onDisk;
    std::vector<std::size_t> askedFor;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        PathState& state = states[i];
        state.path = paths[i];
        state.stored = state.path;
        state.native = Absolute(state.path);
        const Mapping mapping = Map(state.native);
        if (mapping.placed) {
            state.attributes = mapping.placed->attributes;
            state.stored = WithLastPart(state.path, mapping.placed->storedName);
        } else if (mapping.onDisk) {
            onDisk.push_back(*mapping.onDisk);
            askedFor.push_back(i);
        }
    }
    const auto found = disk_.LookUp(onDisk, storedNames);
    for (std::size_t k = 0; k < found.size(); ++k) {
        PathState& state = states[askedFor[k]];
        state.attributes = found[k].attributes;
        if (state.attributes) {
            state.stored = WithLastPart(state.path, LastPart(found[k].stored));
        }
    }
    return states;
}

// Moves what the plan has at `from` to `to`, and everything the plan says of
// what lies below `from` with it.
OsResult PlannedFolder::MoveLookedUp(const PathState& from, const PathState& to) {
    if (to.Exists()) {
        return {OsError::AlreadyExists};
    }
    const Mapping source = Map(from.native);
    if (!from.Exists() || !source.onDisk) {
        return {OsError::NotFound};
    }
    const std::string fromKey = PathKey(from.native);
    const std::string toKey = PathKey(to.native);
    const std::string fromFolder = fromKey + '\\';
    const std::string toFolder = toKey + '\\';
    movedFolders_ += from.attributes->directory ? 1 : 0;
    placed_.erase(placed_.lower_bound(toFolder), placed_.lower_bound(toKey + char('\\' + 1)));
    std::map<std::string, Placed> below;
    for (auto at = placed_.lower_bound(fromFolder);
         at != placed_.end() && at->first.starts_with(fromFolder);) {
        below.emplace(toFolder + at->first.substr(fromFolder.size()), std::move(at->second));
        at = placed_.erase(at);
    }
    placed_.merge(below);
    placed_[toKey] = {from.attributes, LastPart(to.path), *source.onDisk};
    placed_[fromKey] = {std::nullopt, {}, {}};
    return OsResult::Ok();
}

std::optional<FileAttributes> PlannedFolder::Attributes(const std::string& path) {
    return LookUp(std::span(&path, 1), false).front().attributes;
}

std::string PlannedFolder::StoredName(const std::string& path) {
    return LookUp(std::span(&path, 1), true).front().stored;
}

OsResult PlannedFolder::MoveNoReplace(const std::string& from, const std::string& to) {
    const std::string both[] = {from, to};
    const auto states = LookUp(both, true);
    return MoveLookedUp(states[0], states[1]);
}

// The plan's current directory is the path as the script gives it; the
// install's, as the system names it, differs at most in letter case and
// separators, which the journal's comparison of the two leaves aside.
OsResult PlannedFolder::ChangeDirectory(const std::string& path) {
    const auto attributes = Attributes(path);
    if (!attributes || !attributes->directory) {
        return {OsError::NotFound};
    }
    current_ = Absolute(path);
    return OsResult::Ok();
}

}  // namespace srdw
