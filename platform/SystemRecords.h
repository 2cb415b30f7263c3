// What the system keeps for the launcher between runs: the game's settings
// file and the one-shot start-up entry.
#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace srdw {

class SystemRecords {
  public:
    virtual ~SystemRecords() = default;

    // The game's settings file "Srendcfg.ini", named without a directory: one
    // key of one section; empty when missing.
    virtual std::string ReadProfileString(const std::string& file, const std::string& section,
                                          const std::string& key) = 0;
    virtual OsResult WriteProfileString(const std::string& file, const std::string& section,
                                        const std::string& key, const std::string& value) = 0;

    // The one-shot start-up entry: `command` runs once at the next log-in. The
    // machine's entry runs at anybody's log-in and may need administrator rights;
    // the user's runs at this user's. Where the system has one place only, both
    // are that place.
    virtual OsResult WriteStartupEntry(const std::string& name, const std::string& command) = 0;
    virtual OsResult DeleteStartupEntry(const std::string& name) = 0;
    virtual OsResult WriteUserStartupEntry(const std::string& name, const std::string& command) = 0;
    virtual OsResult DeleteUserStartupEntry(const std::string& name) = 0;
    // The file that holds the entry, where the system keeps it in one (not in
    // the registry); empty otherwise.
    virtual std::string StartupEntryFile(const std::string& /*name*/) { return {}; }
};

// The backend's own.
SystemRecords& NativeRecords();

}  // namespace srdw
