// The launcher's own process: where it runs from, its command line, its rights,
// and the guards that keep a second launcher out.
#pragma once

#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace srdw {

// How a restart with administrator rights went.
enum class Elevation {
    Started,      // the player agreed; the elevated launcher runs now
    Declined,     // the player said no
    Unavailable,  // not possible here: already elevated, or no such thing on this system
};

enum class MutexState {
    Acquired,       // this process holds it now, until it ends
    HeldElsewhere,  // another launcher holds it
    Failed,         // it could not be made; nobody holds it
};

class LauncherProcess {
  public:
    virtual ~LauncherProcess() = default;

    // Full path of the launcher, at most 259 characters; empty when it cannot be
    // had whole or holds what the launcher's paths cannot (a backslash in a name
    // where the backslash is no separator).
    virtual std::string OwnPath() = 0;
    // A path the system gave in characters the launcher cannot use here: on
    // Windows, characters outside the ANSI code page, which the launcher's and
    // the game's ANSI calls would see as look-alikes naming another file; on
    // Linux, control characters a start-up entry cannot hold. OwnPath, the
    // game file chooser and the settings file then give no path, and this
    // gives the path as it can be shown, "?" for each such character, until
    // the next of them is asked. Empty when the last one was whole.
    virtual std::string UnusablePath() = 0;
    virtual std::string ShortPathOf(const std::string& path) = 0;  // or the path unchanged
    virtual std::string CommandLineTail() = 0;  // the command line after the program name

    // Whether `folder` takes a new file: one is made there and removed at once,
    // so that nothing is left that a later start would not remove, also when
    // the process is killed meanwhile. AccessDenied when the system refuses
    // this process.
    virtual OsResult ProbeNewFile(const std::string& folder) = 0;
    // Starts `program` again with administrator rights, after the player agreed.
    virtual Elevation RestartElevated(const std::string& program, const std::string& parameters,
                                      const std::string& directory) = 0;

    // The named mutex that keeps a second launcher out; held until the process
    // ends. Failed when no place could be had to hold it.
    virtual MutexState AcquireMutex(const std::string& name) = 0;
    // Lets go of a mutex this process holds, and of the folders' locks, for a
    // launcher that takes over.
    virtual void ReleaseMutex(const std::string& name) = 0;
    // A lock that belongs to `folder` itself: the same for every launcher
    // working there, whoever started it and in whatever environment. Held
    // until the process ends or hands over; whatever it needs on the disk goes
    // with it.
    virtual MutexState LockFolder(const std::string& folder) = 0;
    // The files the mutex and the folders' locks keep on the disk while they
    // are held: none of them may be touched by a script.
    virtual std::vector<std::string> LockFiles() = 0;
};

// The backend's own.
LauncherProcess& NativeLauncherProcess();

}  // namespace srdw
