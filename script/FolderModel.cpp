#include "script/FolderModel.h"

#include <algorithm>
#include <utility>

#include "platform/NameCase.h"

namespace srdw {

namespace {

constexpr std::size_t kNone = std::string::npos;

// The length of a resolved path's root: "" (the POSIX root), "C:" or "\\server\share".
std::size_t RootSize(std::string_view path) {
    return !kWindowsPaths ? 0 : NamesDrive(path) ? 2 : ResolveAbsolute(path).root.size();
}

// Whether `path` is spelled as Resolve spells an absolute path.
bool IsResolved(std::string_view path) {
    const std::size_t root = kWindowsPaths ? 2 : 0;
    constexpr char kDoubled[] = {kSeparator, kSeparator, '\0'};
    return path.size() > root && path[root] == kSeparator && (!kWindowsPaths || NamesDrive(path)) &&
           path.find(kDoubled) == std::string_view::npos && !HasDotPart(path) &&
           (path.size() == root + 1 || !path.ends_with(kSeparator));
}

// `path` made absolute against `directory` and spelled as Resolve spells it;
// one spelled so already is taken as it is, without splitting it into parts.
std::string FullText(const std::string& directory, const std::string& path) {
    std::string full = FullPathWithSeparators(path, directory);
    if (IsResolved(full)) {
        return full;
    }
    return Resolve(ResolveAbsolute(directory), path).Text();
}

std::string_view Name(std::string_view path) {
    return path.substr(NameStart(path));
}

// The folder `path` lies in; a root's is itself.
std::string_view Parent(std::string_view path) {
    const std::size_t cut = path.rfind(kSeparator);
    return path.ends_with(kSeparator) ? path
                                      : path.substr(0, cut == RootSize(path) ? cut + 1 : cut);
}

std::string Join(std::string_view folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path = folder;
    if (!path.ends_with(kSeparator)) {
        path += kSeparator;
    }
    path += name;
    return path;
}

// `path` as written up to its last separator, of either kind, then `name`. A
// path that ends in "." or ".." or a separator has no name of its own to
// spell: it is `resolved`, which a move back reaches on every system.
std::string WithLastPart(std::string_view path, std::string_view name, std::string_view resolved) {
    const std::size_t start = NameStart(path);
    if (const std::string_view last = path.substr(start);
        last.empty() || last == "." || last == "..") {
        return std::string(resolved);
    }
    std::string text(path.substr(0, start));
    text += name;
    return text;
}

// The model keeps no second copy of a long run's log and journal.
class DiscardingFile final : public OutputFile {
  public:
    OsResult Write(std::string_view) override { return OsResult::Ok(); }
    OsResult SyncToDisk() override { return OsResult::Ok(); }
};

}  // namespace

FolderModel::FolderModel(FileSystem& disk, std::optional<ResolvedPath> bounds)
    : disk_(disk),
      bounds_(bounds ? std::optional(PathKey(*bounds)) : std::nullopt),
      start_(bounds ? bounds->Text() : FullText({}, disk.WorkingDirectory())),
      current_(start_) {}

void FolderModel::Reset() {
    entries_.clear();
    texts_ = {};
    taken_.clear();
    takenFolders_ = 0;
    lastFolder_.reset();
    directoryChanges_.clear();
    current_ = start_;
}

// The entry a path names: the one spelled so where there is one, else one
// whose name differs only in letter case.
FolderModel::Entries::iterator FolderModel::Find(std::string_view key, std::string_view path) {
    auto found = entries_.lower_bound(key);
    for (auto entry = found; entry != entries_.end() && entry->first == key; ++entry) {
        if (entry->second.now == path) {
            return entry;
        }
        found = entry->second.now < found->second.now ? entry : found;
    }
    return found != entries_.end() && found->first == key ? found : entries_.end();
}

// Where the model has `path`, or where the disk would have it: below a folder
// the model holds, in that folder's place on the disk; nothing outside the
// bounds. Nothing is asked of the disk.
FolderModel::Found FolderModel::Place(std::string_view path) {
    Found found{FoldNameCase(std::string(path)), std::nullopt, {}, entries_.end(), {}, 0};
    const std::string_view key = found.key;
    if (IsFixed(key)) {
        found.attributes.emplace().directory = true;
        found.stored = path;
        return found;
    }
    if (bounds_ && !IsAtOrBelow(key, *bounds_)) {
        ++outsideLooks_;
        if (std::find(outside_.begin(), outside_.end(), path) == outside_.end()) {
            outside_.emplace_back(path);
        }
        return found;
    }
    found.entry = Find(key, path);
    if (found.entry != entries_.end()) {
        found.attributes = found.entry->second.attributes;
        found.stored = found.entry->second.now;
        return found;
    }
    found.onDisk = path;
    for (std::size_t end = key.rfind(kSeparator); takenFolders_ > 0 && end != kNone && end > 0;
         end = key.rfind(kSeparator, end - 1)) {
        const auto above = Find(key.substr(0, end), std::string_view(path).substr(0, end));
        if (above != entries_.end() && above->second.attributes.directory) {
            found.onDisk = std::string(above->second.origin).append(path.substr(end));
            found.unmoved = above->second.origin.size();
            found.stored = above->second.now;  // where what lies below it is now
            break;
        }
    }
    return found;
}

// Whether the run took away what the disk has at `onDisk`, or a folder it
// lies in after its first `unmoved` characters.
bool FolderModel::Vacated(std::string_view onDisk, std::size_t unmoved) const {
    for (std::size_t end = onDisk.size(); end != kNone && end > unmoved;
         end = onDisk.rfind(kSeparator, end - 1)) {
        if (taken_.contains(onDisk.substr(0, end))) {
            return true;
        }
        if (takenFolders_ == 0) {
            return false;  // only files were taken: nothing lies below them
        }
    }
    return false;
}

FolderModel::Found FolderModel::Look(std::string_view path, bool folder) {
    Found found = Place(path);
    if (found.entry != entries_.end() || found.onDisk.empty()) {
        return found;
    }
    std::string spelled;
    if (folder) {
        const auto& [text, directory] = Spelling(found.onDisk);
        if (directory) {
            found.attributes.emplace().directory = true;
            spelled = text;
        }
    } else {
        const PathState state = std::move(disk_.LookUp(std::span(&found.onDisk, 1)).front());
        found.attributes = state.attributes;
        spelled = Join(Spelling(Parent(found.onDisk)).first, Name(state.stored));
        NoteFolder(state.attributes, spelled);
    }
    if (!found.attributes || Vacated(spelled, found.unmoved)) {
        found.attributes.reset();
        found.onDisk.clear();
        return found;
    }
    found.onDisk.assign(spelled);  // in the bytes of the path as written, most often as long
    if (found.stored.empty()) {
        found.stored = std::move(spelled);
    } else {
        found.stored += std::string_view(spelled).substr(found.unmoved);
    }
    return found;
}

// The disk's spelling of a folder and of each folder above it, asked once;
// a name where the disk has no folder stays as written.
const std::pair<std::string, bool>& FolderModel::Spelling(std::string_view folder) {
    const auto known = folders_.find(folder);
    if (known != folders_.end()) {
        return known->second;
    }
    const std::string text(folder);
    const PathState state = std::move(disk_.LookUp(std::span(&text, 1)).front());
    const bool directory = state.attributes && state.attributes->directory;
    std::string spelled =
        text.ends_with(kSeparator)
            ? text
            : Join(Spelling(Parent(text)).first, directory ? Name(state.stored) : Name(text));
    NoteFolder(state.attributes, spelled);
    // A link to a folder is that folder under one more name: on Linux the link
    // is known by its own identity, and the folder's is asked through it.
    if (directory && !text.ends_with(kSeparator) && disk_.IsLink(text)) {
        const std::string inside = text + kSeparator;
        NoteFolder(disk_.LookUp(std::span(&inside, 1)).front().attributes, spelled);
    }
    return folders_.emplace(text, std::pair(std::move(spelled), directory)).first->second;
}

// A folder met again by another path than before is one place under two
// names. Letter case aside: that is one name, as the model takes it.
void FolderModel::NoteFolder(const std::optional<FileAttributes>& found, std::string_view spelled) {
    if (!found || !found->directory || !found->identity.known) {
        return;
    }
    const std::string key = FoldNameCase(std::string(spelled));
    const auto [met, first] =
        folderPaths_.try_emplace(std::pair(found->identity.volume, found->identity.file), key);
    sawTwoNames_ = sawTwoNames_ || (!first && met->second != key);
}

// `path` in its folder as stored, where that folder is. A run of moves goes
// into few folders: each is looked at once until a folder moves, except in a
// bounded model, which counts every look outside its bounds.
std::optional<std::string> FolderModel::InFolder(std::string_view path) {
    const std::string_view parent = Parent(path);
    if (bounds_ || !lastFolder_ || lastFolder_->first != parent) {
        const Found folder = Look(parent, true);
        const bool there = folder.attributes && folder.attributes->directory;
        lastFolder_.emplace(parent, there ? std::optional(folder.stored) : std::nullopt);
    }
    if (!lastFolder_->second) {
        return std::nullopt;
    }
    return Join(*lastFolder_->second, Name(path));
}

// The entry of what was found, taken out of the model to be put back: the
// model's own, or one made of what the disk has there, which is the model's
// from now on. A new entry that moves views `found`'s key and place until the
// move gives it new ones; one that stays keeps them.
FolderModel::Entries::node_type FolderModel::TakeOver(const Found& found, bool stays) {
    if (found.entry != entries_.end()) {
        return entries_.extract(found.entry);
    }
    takenFolders_ += found.attributes->directory ? 1 : 0;
    const auto keep = [&](std::string_view text) { return stays ? texts_.Keep(text) : text; };
    Entries made;
    const auto entry =
        made.emplace(keep(found.key), Entry{keep(found.stored), texts_.Keep(found.onDisk),
                                            *found.attributes, found.attributes->readOnly});
    // The origin's bytes are the store's, which never move.
    taken_.insert(entry->second.origin);
    return made.extract(entry);
}

std::vector<PathState> FolderModel::LookUp(std::span<const std::string> paths, bool) {
    movedAway_.clear();
    std::vector<PathState> states(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        PathState& state = states[i];
        state.path = paths[i];
        const std::string full = FullText(current_, paths[i]);
        Found found = Look(full);
        state.attributes = found.attributes;
        state.stored = found.attributes && !paths[i].empty() && !IsFixed(found.key)
                           ? WithLastPart(paths[i], Name(found.stored), found.stored)
                           : paths[i];
        if (found.attributes) {
            state.native = std::move(found.stored);
            continue;
        }
        // A path that names nothing would be made in its folder as stored, so
        // that a move there by this name reaches it on a disk that tells letter
        // case apart. Windows does not, and SrdwCheck's bounded model moves
        // nothing: there it stays as written.
        state.native = kWindowsPaths || bounds_ ? full : InFolder(full).value_or(full);
    }
    return states;
}

std::optional<FileAttributes> FolderModel::Attributes(const std::string& path) {
    return path.empty() ? std::nullopt : Look(FullText(current_, path)).attributes;
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
    if (kWindowsPaths && (NamesStream(from.native) || NamesStream(to.native))) {
        return {OsError::NotFound};  // as Windows refuses it
    }
    // Both as the look-up just before found them, `from` spelled as stored.
    const std::string& source = from.native;
    Found moving = Place(source);
    // Where the system lets the current directory move (not on Windows, whose
    // refusal the engine keeps), it stays current. Only a directory holds it.
    const bool directory = from.attributes->directory;
    const bool movesCurrent = directory && IsAtOrBelow(FoldNameCase(current_), moving.key);
    if (IsFixed(moving.key)) {
        return {OsError::AccessDenied};
    }
    const auto place = InFolder(to.native);
    if (!place) {
        return {OsError::NotFound};
    }
    if (directory && IsAtOrBelow(FoldNameCase(to.native), moving.key)) {
        return {OsError::Other};  // a directory into itself
    }
    if (moving.entry == entries_.end() &&
        (moving.onDisk.empty() || Vacated(moving.onDisk, moving.unmoved))) {
        return {OsError::NotFound};
    }
    // A move since the look-up took away what `from` found, or a folder it lies
    // in, where the look-up took a spelling of its own for another path: the
    // disk's move finds nothing there, and neither does the model's.
    if (std::any_of(movedAway_.begin(), movedAway_.end(),
                    [&](const std::string& gone) { return IsAtOrBelow(moving.key, gone); }) &&
        !Look(source).attributes) {
        return {OsError::NotFound};
    }
    movedAway_.push_back(moving.key);
    moving.attributes = from.attributes;
    moving.stored = source;
    // The entry itself goes in again after what lies below it has moved.
    auto moved = TakeOver(moving, false);
    const std::string_view below = moved.key();
    const std::string_view stored = std::exchange(moved.mapped().now, texts_.Keep(*place));
    moved.key() = texts_.Keep(FoldNameCase(*place));
    // Only a folder has anything below it.
    for (auto entry = directory ? entries_.lower_bound(below) : entries_.end();
         entry != entries_.end() && entry->first.starts_with(below);) {
        if (!IsAtOrBelow(entry->second.now, stored)) {
            ++entry;
            continue;
        }
        // What lands in the range again is not below `stored`, and is passed over.
        auto node = entries_.extract(entry++);
        std::string now = *place + std::string(node.mapped().now.substr(stored.size()));
        node.mapped().now = texts_.Keep(now);
        node.key() = texts_.Keep(FoldNameCase(std::move(now)));
        entries_.insert(std::move(node));
    }
    entries_.insert(std::move(moved));
    if (movesCurrent) {
        current_.replace(0, stored.size(), *place);
    }
    if (directory) {
        lastFolder_.reset();
    }
    return OsResult::Ok();
}

OsResult FolderModel::RestoreAttributes(const std::string& path, const FileAttributes& attributes) {
    Found found = Look(FullText(current_, path));
    if (!found.attributes || IsFixed(found.key)) {
        return {OsError::NotFound};
    }
    found.key = FoldNameCase(found.stored);  // where it is now
    auto held = TakeOver(found, true);
    held.mapped().attributes.readOnly = attributes.readOnly;
    entries_.insert(std::move(held));
    return OsResult::Ok();
}

OsResult FolderModel::ChangeDirectory(const std::string& path) {
    const auto attributes = Attributes(path);
    const bool changes = attributes && attributes->directory;
    directoryChanges_.push_back({path, changes});
    if (!changes) {
        return {OsError::NotFound};
    }
    current_ = FullText(current_, path);
    return OsResult::Ok();
}

std::unique_ptr<OutputFile> FolderModel::CreateOutputFile(const std::string&, OsError*) {
    return std::make_unique<DiscardingFile>();
}

std::vector<FolderModel::Change> FolderModel::Changes() const {
    std::vector<Change> changes;
    for (const auto& [key, entry] : entries_) {
        if (entry.now != entry.origin || entry.attributes.readOnly != entry.readOnlyWas) {
            changes.push_back({ResolveAbsolute(entry.now), ResolveAbsolute(entry.origin),
                               entry.attributes.directory, entry.attributes.readOnly,
                               entry.readOnlyWas});
        }
    }
    return changes;
}

}  // namespace srdw
