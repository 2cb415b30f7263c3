// The names of the directories the launcher looks into, read once and then kept,
// so that a script of thousands of commands, each of which asks after a backup
// name that does not exist yet, does not read a large directory thousands of
// times. What is kept follows every change of a directory, whoever makes it:
// changes on this machine are seen through the kernel's change notices, and a
// directory whose identity or modification time differs without such a notice
// (a network file system) is read again.
#pragma once

#include <sys/stat.h>

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace srdw::posix {

// Look-ups made together, such as one command's paths. The change notices that
// have come in are applied before its first look-up, once for all of them: what
// changes during the pass still shows in a directory's modification time. The
// process keeps one set of listings, which a pass has to itself while it lasts.
class ListingPass {
  public:
    ListingPass();
    ~ListingPass();
    ListingPass(const ListingPass&) = delete;
    ListingPass& operator=(const ListingPass&) = delete;

    // The entry of `directory` (found by stat as `info`) named `name` as spelled
    // when it is there, else the first in byte order that matches it ignoring
    // ASCII letter case; none when no entry matches or the directory cannot be
    // read.
    std::optional<std::string> Find(const std::string& directory, const struct stat& info,
                                    std::string_view name);

  private:
    std::unique_lock<std::mutex> lock_;
    bool noticesApplied_ = false;
};

// Forgets every kept listing; the next look-ups read the directories again.
// Nothing else needs it: for tests and measurements.
void ForgetDirectoryListings();

}  // namespace srdw::posix
