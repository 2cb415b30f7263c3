#include "script/FolderModel.h"

#include <algorithm>

#include <utility>
#include "platform/NameCase.h"

namespace srdw {

namespace {

std::pair<std::string, std::string> KeyOf(const ResolvedPath& path) {
    std::string text = path.Text();
    return {FoldNameCase(text), std::move(text)};
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
    movedFolders_ = 0;
    taken_.clear();
    takenFolders_ = 0;
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

// Where the model has `path`, or where the disk would have it: below a folder
// the run moved, in that folder's place on the disk; nothing where the run
// took something away. Nothing is asked of the disk.
FolderModel::Found FolderModel::Place(const ResolvedPath& path) {
    Found found{std::nullopt, path, entries_.end(), std::nullopt, 0};
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
        found.stored = Now(found.entry);
        return found;
    }
    ResolvedPath onDisk = path;
    for (std::size_t n = path.parts.size(); movedFolders_ > 0 && n-- > 0;) {
        ResolvedPath above = path;
        above.parts.resize(n);
        const auto entry = Find(above);
        if (entry != entries_.end() && entry->second.attributes.directory) {
            const ResolvedPath origin = ResolveAbsolute(entry->second.origin);
            onDisk = Rebased(origin, path, n);
            found.unmoved = origin.parts.size();
            found.stored = Now(entry);  // where what lies below it is now
            break;
        }
    }
    found.onDisk = std::move(onDisk);
    return found;
}

// Whether the run took away what the disk has at `onDisk`, spelled as stored,
// or a folder it lies in, after its first `unmoved` parts.
bool FolderModel::Vacated(const ResolvedPath& onDisk, std::size_t unmoved) const {
    if (taken_.empty()) {
        return false;
    }
    std::string above = onDisk.Text();
    if (takenFolders_ == 0) {  // only files were taken: nothing lies below them
        return onDisk.parts.size() > unmoved && taken_.contains(above);
    }
    for (std::size_t n = onDisk.parts.size(); n > unmoved; --n) {
        if (taken_.contains(above)) {
            return true;
        }
        above.resize(above.size() - onDisk.parts[n - 1].size() - 1);
    }
    return false;
}

FolderModel::Found FolderModel::Look(const ResolvedPath& path) {
    Found found = Place(path);
    if (found.entry != entries_.end() || !found.onDisk) {
        return found;
    }
    const std::string text = found.onDisk->Text();
    const auto states = disk_.LookUp(std::span(&text, 1));
    if (!states.front().Exists()) {
        found.onDisk.reset();
        return found;
    }
    const std::string& leaf = states.front().stored;
    found.onDisk = StoredOnDisk(std::move(*found.onDisk), found.unmoved,
                                leaf.substr(leaf.find_last_of("\\/") + 1));
    if (Vacated(*found.onDisk, found.unmoved)) {
        found.onDisk.reset();
        return found;
    }
    found.attributes = states.front().attributes;
    found.stored =
        found.unmoved == 0 ? *found.onDisk : Rebased(found.stored, *found.onDisk, found.unmoved);
    return found;
}

std::optional<ResolvedPath> FolderModel::Folder(const ResolvedPath& path) {
    const Found found = Place(path);
    if (found.attributes) {
        return found.attributes->directory ? std::optional(found.stored) : std::nullopt;
    }
    if (!found.onDisk) {
        return std::nullopt;
    }
    ResolvedPath stored = StoredOnDisk(*found.onDisk, found.unmoved, {});
    const auto& name = FolderName(stored, stored.parts.size());
    if (!name) {
        return std::nullopt;
    }
    if (!stored.parts.empty()) {  // a root keeps its name
        stored.parts.back() = *name;
    }
    if (Vacated(stored, found.unmoved)) {
        return std::nullopt;
    }
    return found.unmoved == 0 ? stored : Rebased(found.stored, stored, found.unmoved);
}

// The disk's spelling of a folder's name, asked once; none where no folder is.
const std::optional<std::string>& FolderModel::FolderName(const ResolvedPath& onDisk,
                                                          std::size_t parts) {
    const std::string text = onDisk.PrefixText(parts);
    auto [known, added] = folders_.try_emplace(FoldNameCase(text));
    if (added) {
        const auto state = disk_.LookUp(std::span(&text, 1)).front();
        if (state.attributes && state.attributes->directory) {
            known->second = state.stored.substr(state.stored.find_last_of("\\/") + 1);
        }
    }
    return known->second;
}

// `onDisk` with the folders after its first `from` parts spelled as the disk
// stores them, and `leaf` for its last name where one is given.
ResolvedPath FolderModel::StoredOnDisk(ResolvedPath onDisk, std::size_t from, std::string leaf) {
    const std::size_t folders = onDisk.parts.empty() ? 0 : onDisk.parts.size() - 1;
    auto [names, added] = folderNames_.try_emplace(FoldNameCase(onDisk.PrefixText(folders)));
    if (added) {
        for (std::size_t n = 1; n <= folders; ++n) {
            names->second.push_back(FolderName(onDisk, n));
        }
    }
    for (std::size_t n = from; n < folders; ++n) {
        if (const auto& name = names->second[n]) {
            onDisk.parts[n] = *name;
        }
    }
    if (!leaf.empty()) {
        onDisk.parts.back() = std::move(leaf);
    }
    return onDisk;
}

FolderModel::Entries::iterator FolderModel::TakeOver(const Found& found) {
    if (found.entry != entries_.end()) {
        return found.entry;
    }
    taken_.insert(found.onDisk->Text());
    takenFolders_ += found.attributes->directory ? 1 : 0;
    return entries_
        .emplace(KeyOf(found.stored),
                 Entry{found.onDisk->Text(), *found.attributes, found.attributes->readOnly})
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
        state.native = found.attributes ? found.stored.Text() : Absent(full);
    }
    return states;
}

// Where a path that names nothing would be made: in its folder as stored,
// so that a move there by this name reaches it on a disk that tells letter
// case apart. Windows does not, and SrdwCheck's bounded model moves nothing:
// there it stays as written.
std::string FolderModel::Absent(const ResolvedPath& path) {
    if (kWindowsPaths || bounds_ || path.parts.empty()) {
        return path.Text();
    }
    const auto folder = Folder(path.Parent());
    if (!folder) {
        return path.Text();
    }
    ResolvedPath absent = *folder;
    absent.parts.push_back(path.parts.back());
    return absent.Text();
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
    if (!from.Exists()) {
        return {OsError::NotFound};
    }
    if (to.Exists()) {
        return {OsError::AlreadyExists};
    }
    // Both as the look-up just before found them, `from` spelled as stored.
    const ResolvedPath source = ResolveAbsolute(from.native);
    const ResolvedPath target = ResolveAbsolute(to.native);
    // Windows keeps the current directory from being moved; elsewhere it moves
    // and stays current.
    const bool movesCurrent = IsWithin(current_, source);
    if (IsFixed(source) || (movesCurrent && kWindowsPaths)) {
        return {OsError::AccessDenied};
    }
    const auto parent = Folder(target.Parent());
    if (!parent) {
        return {OsError::NotFound};
    }
    if (IsWithin(target, source)) {
        return {OsError::Other};  // a directory into itself
    }
    Found moving = Place(source);
    if (moving.entry == entries_.end() &&
        (!moving.onDisk || Vacated(*moving.onDisk, moving.unmoved))) {
        return {OsError::NotFound};
    }
    moving.attributes = from.attributes;
    moving.stored = source;
    movedFolders_ += from.attributes->directory ? 1 : 0;
    ResolvedPath place = *parent;
    place.parts.push_back(target.parts.back());
    const auto taken = TakeOver(moving);
    const ResolvedPath stored = Now(taken);
    if (!from.attributes->directory && !movesCurrent) {  // nothing lies below a file
        auto node = entries_.extract(taken);
        node.key() = KeyOf(place);
        entries_.insert(std::move(node));
        return OsResult::Ok();
    }
    std::vector<std::pair<ResolvedPath, Entry>> moved;
    const std::string below = PathKey(stored);
    for (auto it = entries_.lower_bound({below, {}});
         it != entries_.end() && it->first.first.starts_with(below);) {
        ResolvedPath now = Now(it);
        if (!WithinAsSpelled(now, stored)) {
            ++it;
            continue;
        }
        moved.emplace_back(Rebased(place, now, stored.parts.size()), std::move(it->second));
        it = entries_.erase(it);
    }
    for (auto& [now, entry] : moved) {
        entries_.emplace(KeyOf(now), std::move(entry));
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
    for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
        const auto& [now, origin] = std::pair(entry->first.second, entry->second.origin);
        const FileAttributes& attributes = entry->second.attributes;
        if (now != origin || attributes.readOnly != entry->second.readOnlyWas) {
            changes.push_back({Now(entry), ResolveAbsolute(origin), attributes.directory,
                               attributes.readOnly, entry->second.readOnlyWas});
        }
    }
    return changes;
}

}  // namespace srdw
