#include "script/FolderModel.h"

#include <algorithm>
#include <utility>

namespace srdw {

namespace {

std::pair<std::string, std::string> KeyOf(const ResolvedPath& path) {
    return {PathKey(path), path.Text()};
}

// Whether `path` is `directory` or below it, every name spelled alike.
bool WithinAsSpelled(const ResolvedPath& path, const ResolvedPath& directory) {
    return path.root == directory.root && path.parts.size() >= directory.parts.size() &&
           std::equal(directory.parts.begin(), directory.parts.end(), path.parts.begin());
}

// `path` with its first `from` parts replaced by `base`.
ResolvedPath Rebased(const ResolvedPath& base, const ResolvedPath& path, std::size_t from) {
    ResolvedPath rebased = base;
    rebased.parts.insert(rebased.parts.end(),
                         path.parts.begin() + static_cast<std::ptrdiff_t>(from), path.parts.end());
    return rebased;
}

std::string WithLastPart(const std::string& path, std::string_view name) {
    return path.substr(0, path.find_last_of("\\/") + 1) + std::string(name);
}

// What the run writes (its log, its journal) is taken and let go: the model
// keeps no second copy of a long run's bytes.
class DiscardingFile final : public OutputFile {
  public:
    OsResult Write(std::string_view) override { return OsResult::Ok(); }
    OsResult SyncToDisk() override { return OsResult::Ok(); }
};

}  // namespace

FolderModel::FolderModel(FileSystem& disk, std::optional<ResolvedPath> bounds)
    : disk_(disk),
      bounds_(std::move(bounds)),
      start_(bounds_ ? *bounds_ : ResolveAbsolute(disk.WorkingDirectory())),
      current_(start_) {}

void FolderModel::Reset() {
    entries_.clear();
    taken_.clear();
    written_.clear();
    directoryChanges_.clear();
    current_ = start_;
}

bool FolderModel::IsFixed(const ResolvedPath& path) const {
    return bounds_ && path.parts.size() <= bounds_->parts.size() && IsWithin(*bounds_, path);
}

FolderModel::Entries::iterator FolderModel::Find(const ResolvedPath& path) {
    const auto key = KeyOf(path);
    const auto exact = entries_.find(key);
    if (exact != entries_.end()) {
        return exact;
    }
    const auto folded = entries_.lower_bound({key.first, {}});
    return folded != entries_.end() && folded->first.first == key.first ? folded : entries_.end();
}

FolderModel::Found FolderModel::Look(const ResolvedPath& path) {
    Found found{std::nullopt, path, entries_.end(), std::nullopt};
    if (IsFixed(path)) {
        found.attributes.emplace().directory = true;
        return found;
    }
    if (bounds_ && !IsWithin(path, *bounds_)) {
        ++outsideLooks_;
        if (std::find(outside_.begin(), outside_.end(), path.Text()) == outside_.end()) {
            outside_.push_back(path.Text());
        }
        return found;
    }
    found.entry = Find(path);
    if (found.entry != entries_.end()) {
        found.attributes = found.entry->second.attributes;
        found.stored = found.entry->second.now;
        return found;
    }
    // Where the disk has it: below a folder the run moved, in that folder's
    // place on the disk; nothing where the run took something away.
    ResolvedPath onDisk = path;
    std::size_t unmoved = 0;  // the parts of `onDisk` no move of the run leads to
    for (std::size_t n = path.parts.size(); !entries_.empty() && n-- > 0;) {
        ResolvedPath above = path;
        above.parts.resize(n);
        const auto entry = Find(above);
        if (entry != entries_.end() && entry->second.attributes.directory) {
            onDisk = Rebased(entry->second.origin, path, n);
            unmoved = entry->second.origin.parts.size();
            found.stored = entry->second.now;  // where what lies below it is now
            break;
        }
    }
    for (std::size_t n = onDisk.parts.size(); !taken_.empty() && n > unmoved; --n) {
        ResolvedPath above = onDisk;
        above.parts.resize(n);
        if (taken_.contains(PathKey(above))) {
            return found;
        }
    }
    const std::string text = onDisk.Text();
    const auto states = disk_.LookUp(std::span(&text, 1));
    if (states.front().Exists()) {
        const std::string& leaf = states.front().stored;
        found.attributes = states.front().attributes;
        found.onDisk =
            StoredOnDisk(std::move(onDisk), unmoved, leaf.substr(leaf.find_last_of("\\/") + 1));
        found.stored = unmoved == 0 ? *found.onDisk : Rebased(found.stored, *found.onDisk, unmoved);
    }
    return found;
}

// The folders' spellings are asked of the disk once each.
ResolvedPath FolderModel::StoredOnDisk(ResolvedPath onDisk, std::size_t from, std::string leaf) {
    for (std::size_t n = from + 1; n < onDisk.parts.size(); ++n) {
        ResolvedPath folder = onDisk;
        folder.parts.resize(n);
        std::string& spelled = folderNames_[PathKey(folder)];
        if (spelled.empty()) {
            const std::string text = folder.Text();
            const std::string stored = disk_.LookUp(std::span(&text, 1)).front().stored;
            spelled = stored.substr(stored.find_last_of("\\/") + 1);
        }
        onDisk.parts[n - 1] = spelled;
    }
    onDisk.parts.back() = std::move(leaf);
    return onDisk;
}

FolderModel::Entries::iterator FolderModel::TakeOver(const Found& found) {
    if (found.entry != entries_.end()) {
        return found.entry;
    }
    taken_.insert(PathKey(*found.onDisk));
    return entries_
        .emplace(KeyOf(found.stored),
                 Entry{found.stored, *found.onDisk, *found.attributes, *found.attributes})
        .first;
}

std::vector<PathState> FolderModel::LookUp(std::span<const std::string> paths, bool) {
    std::vector<PathState> states(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        PathState& state = states[i];
        state.path = paths[i];
        const ResolvedPath full = Resolve(current_, paths[i]);
        const Found found = Look(full);
        state.attributes = found.attributes;
        state.stored = found.attributes && !paths[i].empty() && !IsFixed(full)
                           ? WithLastPart(paths[i], found.stored.Name())
                           : paths[i];
        state.native = found.attributes ? found.stored.Text() : full.Text();
    }
    return states;
}

std::optional<FileAttributes> FolderModel::Attributes(const std::string& path) {
    return path.empty() ? std::nullopt : Look(Resolve(current_, path)).attributes;
}

std::string FolderModel::StoredName(const std::string& path) {
    return LookUp(std::span(&path, 1)).front().stored;
}

OsResult FolderModel::MoveNoReplace(const std::string& from, const std::string& to) {
    const std::string both[] = {from, to};
    const auto states = LookUp(both);
    return MoveLookedUp(states[0], states[1]);
}

// The entry and, for a directory, everything below it that the model holds
// take the new place, under the new name as written and in the directory as
// it is stored; what lies below it on the disk follows through its origin.
OsResult FolderModel::MoveLookedUp(const PathState& from, const PathState& to) {
    const ResolvedPath source = ResolveAbsolute(from.native);
    const ResolvedPath target = ResolveAbsolute(to.native);
    const Found moving = Look(source);
    if (!moving.attributes) {
        return {OsError::NotFound};
    }
    // Windows keeps the current directory from being moved; elsewhere it moves
    // and stays current.
    const bool movesCurrent = IsWithin(current_, source);
    if (IsFixed(source) || (movesCurrent && kWindowsPaths)) {
        return {OsError::AccessDenied};
    }
    if (Look(target).attributes) {
        return {OsError::AlreadyExists};
    }
    const Found parent = Look(target.Parent());
    if (!parent.attributes || !parent.attributes->directory) {
        return {OsError::NotFound};
    }
    if (IsWithin(target, source)) {
        return {OsError::Other};  // a directory into itself
    }
    ResolvedPath place = parent.stored;
    place.parts.push_back(target.parts.back());
    const ResolvedPath stored = TakeOver(moving)->second.now;
    std::vector<Entry> moved;
    const std::string below = PathKey(stored);
    for (auto it = entries_.lower_bound({below, {}});
         it != entries_.end() && it->first.first.starts_with(below);) {
        if (!WithinAsSpelled(it->second.now, stored)) {
            ++it;
            continue;
        }
        moved.push_back(std::move(it->second));
        moved.back().now = Rebased(place, moved.back().now, stored.parts.size());
        it = entries_.erase(it);
    }
    for (auto& entry : moved) {
        auto key = KeyOf(entry.now);
        entries_.emplace(std::move(key), std::move(entry));
    }
    if (movesCurrent) {
        current_ = Rebased(place, current_, stored.parts.size());
    }
    return OsResult::Ok();
}

OsResult FolderModel::SetNormalAttributes(const std::string& path) {
    FileAttributes normal;
    return RestoreAttributes(path, normal);
}

OsResult FolderModel::RestoreAttributes(const std::string& path, const FileAttributes& attributes) {
    const Found found = Look(Resolve(current_, path));
    if (!found.attributes || IsFixed(found.stored)) {
        return {OsError::NotFound};
    }
    FileAttributes& held = TakeOver(found)->second.attributes;
    held.readOnly = attributes.readOnly;
    held.normal = !attributes.readOnly;
    return OsResult::Ok();
}

OsResult FolderModel::ChangeDirectory(const std::string& path) {
    const auto attributes = Attributes(path);
    const bool changes = attributes && attributes->directory;
    directoryChanges_.push_back({path, changes});
    if (!changes) {
        return {OsError::NotFound};
    }
    current_ = Resolve(current_, path);
    return OsResult::Ok();
}

std::unique_ptr<OutputFile> FolderModel::CreateOutputFile(const std::string& path, OsError*) {
    written_.insert(path);
    return std::make_unique<DiscardingFile>();
}

std::unique_ptr<OutputFile> FolderModel::AppendToFile(const std::string& path) {
    return written_.contains(path) ? std::make_unique<DiscardingFile>() : nullptr;
}

std::vector<FolderModel::Change> FolderModel::Changes() const {
    std::vector<Change> changes;
    for (const auto& [key, entry] : entries_) {
        if (entry.now.Text() != entry.origin.Text() ||
            entry.attributes.readOnly != entry.found.readOnly) {
            changes.push_back({entry.now, entry.origin, entry.attributes.directory,
                               entry.attributes.readOnly, entry.found.readOnly});
        }
    }
    return changes;
}

}  // namespace srdw
