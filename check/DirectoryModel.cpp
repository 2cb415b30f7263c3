#include "check/DirectoryModel.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "log/RunLog.h"

namespace srdw::check {

namespace {

// What the launcher writes beside itself (its undo journal) is taken and let
// go: the dry run undoes the journal it holds in memory, as the launcher's own
// restore does, and a second copy of the bytes would double the memory a large
// script's dry run takes.
class DiscardingFile final : public OutputFile {
  public:
    OsResult Write(std::string_view) override { return OsResult::Ok(); }
    OsResult SyncToDisk() override { return OsResult::Ok(); }
};

FileAttributes DirectoryAttributes() {
    FileAttributes attributes;
    attributes.directory = true;
    return attributes;
}

std::string ListingFailure(OsError error) {
    switch (error) {
        case OsError::NotFound:
            return "not found";
        case OsError::AccessDenied:
            return "access denied";
        default:
            return "cannot be listed";
    }
}

std::string Describe(const FileAttributes& attributes) {
    return attributes.readOnly ? "read-only" : "writable";
}

}  // namespace

DirectoryModel::DirectoryModel(const ResolvedPath& gameDirectory, std::string scriptPath,
                               std::string_view script, std::string& error)
    : game_(gameDirectory),
      scriptPath_(std::move(scriptPath)),
      script_(script),
      current_(gameDirectory) {
    FileSystem& disk = NativeFileSystem();
    const auto top = disk.Attributes(game_.Text());
    if (!top || !top->directory) {
        error = "'" + game_.Text() + "' is not a directory";
        return;
    }
    // Walked by hand, one directory at a time, links not followed: an entry or a
    // directory that cannot be read is noted and left out, and the walk goes on.
    std::vector<ResolvedPath> directories{game_};
    while (!directories.empty()) {
        const ResolvedPath directory = std::move(directories.back());
        directories.pop_back();
        const DirectoryListing listing = disk.ListDirectory(directory.Text());
        for (const std::string& name : listing.names) {
            ResolvedPath path = directory;
            path.parts.push_back(name);
            const auto attributes = disk.Attributes(path.Text());
            if (!attributes) {
                // A link to nowhere, or an entry gone since the listing.
                unread_.push_back({path.Text(), disk.IsLink(path.Text())
                                                    ? "a link to nothing that can be read"
                                                    : "cannot be read"});
                continue;
            }
            if (attributes->directory && !disk.IsLink(path.Text())) {
                directories.push_back(path);
            }
            std::string origin = path.Text();
            Key key = KeyOf(path);
            // Each entry its own identity, the same on every platform.
            FileAttributes held = *attributes;
            held.identity = {1, entries_.size() + 1, true};
            entries_[std::move(key)] = Entry{std::move(path), std::move(origin), held};
        }
        if (listing.error != OsError::None) {
            if (directory.parts.size() == game_.parts.size()) {
                error = "cannot list '" + game_.Text() + "': " + ListingFailure(listing.error);
                break;
            }
            unread_.push_back({directory.Text(), ListingFailure(listing.error)});
        }
    }
    if (!error.empty()) {
        entries_.clear();
        unread_.clear();
    }
    initial_ = entries_;
}

void DirectoryModel::Reset() {
    entries_ = initial_;
    current_ = game_;
    written_.clear();
    directoryChanges_.clear();
}

bool DirectoryModel::IsFixed(const ResolvedPath& path) const {
    return path.parts.size() <= game_.parts.size() && IsWithin(game_, path);
}

namespace {

// Whether `path` is `directory` or below it, every name spelled alike.
bool WithinAsSpelled(const ResolvedPath& path, const ResolvedPath& directory) {
    return path.root == directory.root && path.parts.size() >= directory.parts.size() &&
           std::equal(directory.parts.begin(), directory.parts.end(), path.parts.begin());
}

}  // namespace

DirectoryModel::Entries::const_iterator DirectoryModel::Find(const ResolvedPath& path) const {
    if (IsFixed(path) || !IsWithin(path, game_)) {
        return entries_.end();
    }
    ResolvedPath stored = game_;
    auto found = entries_.end();
    for (std::size_t i = game_.parts.size(); i < path.parts.size(); ++i) {
        const ResolvedPath parent = stored;
        stored.parts.push_back(path.parts[i]);
        const Key key = KeyOf(stored);
        found = entries_.find(key);
        if (found == entries_.end()) {
            found = entries_.lower_bound({key.first, {}});
            while (found != entries_.end() && found->first.first == key.first &&
                   !(found->second.path.parts.size() == stored.parts.size() &&
                     WithinAsSpelled(found->second.path, parent))) {
                ++found;
            }
            if (found == entries_.end() || found->first.first != key.first) {
                return entries_.end();
            }
        }
        stored = found->second.path;
    }
    return found;
}

DirectoryModel::Entries::iterator DirectoryModel::Find(const ResolvedPath& path) {
    const auto found = std::as_const(*this).Find(path);
    return entries_.erase(found, found);  // the same place, writable
}

std::optional<FileAttributes> DirectoryModel::Look(const ResolvedPath& path) {
    if (IsFixed(path)) {
        return DirectoryAttributes();
    }
    const auto found = Find(path);
    if (found != entries_.end()) {
        return found->second.attributes;
    }
    if (!IsWithin(path, game_)) {
        ++outsideLooks_;
        if (std::find(unmodelled_.begin(), unmodelled_.end(), path.Text()) == unmodelled_.end()) {
            unmodelled_.push_back(path.Text());
        }
    }
    return std::nullopt;
}

ResolvedPath DirectoryModel::StoredPath(const ResolvedPath& path) const {
    if (IsFixed(path)) {
        ResolvedPath stored = game_;
        stored.parts.resize(path.parts.size());
        return stored;
    }
    const auto found = Find(path);
    return found == entries_.end() ? path : found->second.path;
}

std::optional<FileAttributes> DirectoryModel::Attributes(const std::string& path) {
    return path.empty() ? std::nullopt : Look(Resolve(current_, path));
}

OsResult DirectoryModel::SetNormalAttributes(const std::string& path) {
    const auto found = Find(Resolve(current_, path));
    if (found == entries_.end()) {
        return {OsError::NotFound};
    }
    FileAttributes& attributes = found->second.attributes;
    attributes.readOnly = false;
    attributes.normal = true;
    return OsResult::Ok();
}

OsResult DirectoryModel::RestoreAttributes(const std::string& path,
                                           const FileAttributes& attributes) {
    const auto found = Find(Resolve(current_, path));
    if (found == entries_.end()) {
        return {OsError::NotFound};
    }
    FileAttributes& held = found->second.attributes;
    held.readOnly = attributes.readOnly;
    held.normal = !attributes.readOnly;
    return OsResult::Ok();
}

OsResult DirectoryModel::MoveNoReplace(const std::string& fromText, const std::string& toText) {
    const ResolvedPath from = Resolve(current_, fromText);
    const ResolvedPath to = Resolve(current_, toText);
    if (!Look(from)) {
        return {OsError::NotFound};
    }
    // Windows keeps the current directory from being moved; elsewhere it moves
    // and stays current. The game directory itself is not held by the model.
    const bool movesCurrent = IsWithin(current_, from);
    if (IsFixed(from) || (movesCurrent && kWindowsPaths)) {
        return {OsError::AccessDenied};
    }
    if (Look(to)) {
        return {OsError::AlreadyExists};
    }
    const auto parent = Look(to.Parent());
    if (!parent || !parent->directory) {
        return {OsError::NotFound};
    }
    if (IsWithin(to, from)) {
        return {OsError::Other};  // a directory into itself
    }
    // The entry and, for a directory, everything below it take the new place,
    // under the new name as written and in the directory as it is stored.
    ResolvedPath newPath = StoredPath(to.Parent());
    newPath.parts.push_back(to.parts.back());
    const ResolvedPath stored = StoredPath(from);
    const std::string fromKey = PathKey(stored);
    std::vector<Entry> moved;
    for (auto it = entries_.lower_bound({fromKey, {}});
         it != entries_.end() && it->first.first.starts_with(fromKey);) {
        if (!WithinAsSpelled(it->second.path, stored)) {
            ++it;
            continue;
        }
        Entry entry = std::move(it->second);
        ResolvedPath path = newPath;
        path.parts.insert(path.parts.end(),
                          entry.path.parts.begin() + static_cast<std::ptrdiff_t>(from.parts.size()),
                          entry.path.parts.end());
        entry.path = std::move(path);
        moved.push_back(std::move(entry));
        it = entries_.erase(it);
    }
    for (auto& entry : moved) {
        Key key = KeyOf(entry.path);
        entries_.emplace(std::move(key), std::move(entry));
    }
    if (movesCurrent) {
        ResolvedPath current = newPath;
        current.parts.insert(
            current.parts.end(),
            current_.parts.begin() + static_cast<std::ptrdiff_t>(from.parts.size()),
            current_.parts.end());
        current_ = std::move(current);
    }
    return OsResult::Ok();
}

std::string DirectoryModel::StoredName(const std::string& path) {
    const auto found = Find(Resolve(current_, path));
    if (found == entries_.end()) {
        return path;
    }
    const auto separator = path.find_last_of("/\\");
    const std::string stored(found->second.path.Name());
    return separator == std::string::npos ? stored : path.substr(0, separator + 1) + stored;
}

OsResult DirectoryModel::ChangeDirectory(const std::string& path) {
    const auto attributes = path.empty() ? std::nullopt : Look(Resolve(current_, path));
    const bool changes = attributes && attributes->directory;
    directoryChanges_.push_back({path, changes});
    if (!changes) {
        return {OsError::NotFound};
    }
    current_ = Resolve(current_, path);
    return OsResult::Ok();
}

std::optional<std::string> DirectoryModel::ReadWholeFile(const std::string& path) {
    if (path == scriptPath_) {
        return std::string(script_);
    }
    return std::nullopt;  // no contents are held but the script's
}

std::unique_ptr<OutputFile> DirectoryModel::CreateOutputFile(const std::string& path, OsError*) {
    written_.insert(path);
    return std::make_unique<DiscardingFile>();
}

std::unique_ptr<OutputFile> DirectoryModel::AppendToFile(const std::string& path) {
    return written_.contains(path) ? std::make_unique<DiscardingFile>() : nullptr;
}

LocalTime DirectoryModel::Now() {
    return NativeFileSystem().Now();
}

std::string DirectoryModel::Relative(const ResolvedPath& path) const {
    return path.parts.size() == game_.parts.size() ? path.Text() : RelativePath(path, game_);
}

std::vector<Placement> DirectoryModel::Moved() const {
    std::vector<Placement> moved;
    for (const auto& [key, entry] : entries_) {
        if (entry.path.Text() != entry.origin) {
            moved.push_back({Relative(entry.path), Relative(ResolveAbsolute(entry.origin)),
                             entry.attributes.directory});
        }
    }
    return moved;
}

std::vector<std::string> DirectoryModel::Differences() const {
    std::vector<std::string> differences;
    std::map<std::string, const Entry*> byOrigin;
    for (const auto& [key, entry] : entries_) {
        byOrigin[entry.origin] = &entry;
    }
    for (const auto& [key, was] : initial_) {
        const auto now = byOrigin.find(was.origin);
        const std::string name = Relative(was.path);
        if (now == byOrigin.end()) {
            differences.push_back("'" + name + "' is gone");
            continue;
        }
        const Entry& entry = *now->second;
        if (!IsWithin(entry.path, game_)) {
            // Moved out of the game directory, where the model cannot follow
            // it back: a limit of the dry run, not a finding.
            byOrigin.erase(now);
            continue;
        }
        if (entry.path.Text() != was.path.Text()) {
            const bool caseOnly = PathKey(entry.path) == key.first;
            differences.push_back("'" + name + "' is now at '" + Relative(entry.path) + "'" +
                                  (caseOnly ? " (only the letter case differs: spell the name in "
                                              "the script as it is on disk)"
                                            : ""));
        } else if (entry.attributes.bits != was.attributes.bits ||
                   entry.attributes.readOnly != was.attributes.readOnly) {
            differences.push_back("'" + name + "' was " + Describe(was.attributes) +
                                  " and is now " + Describe(entry.attributes));
        }
        byOrigin.erase(now);
    }
    return differences;
}

}  // namespace srdw::check
