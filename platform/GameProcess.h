// Starting the game and waiting for it, its window and what it starts.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace srdw {

// A process that was still running when the wait for the game ended.
struct RunningProcess {
    std::string file;  // the program's file name, without its folder
    unsigned long id = 0;
    bool operator==(const RunningProcess&) const = default;
};

// The end of a program started and waited for: it ran, or why nothing started,
// in the system's own words.
struct [[nodiscard]] ProgramRun {
    bool started = true;
    std::string reason;                // empty when it started
    std::vector<RunningProcess> left;  // what it started that ran on when the wait ended
    // The program itself ended by a fault (an exception the system caught), not
    // by its own exit: a crash at start hands nothing over to another process.
    bool crashed = false;

    explicit operator bool() const { return started; }
    static ProgramRun NotStarted(std::string why) { return {false, std::move(why), {}, false}; }
};

inline constexpr unsigned kWatchInterval = 200;

// Called while a started program runs: `programEnded` says whether the program
// itself has ended (what it started may run on). False ends the wait.
using WatchWhileRunning = std::function<bool(bool programEnded)>;

class GameProcess {
  public:
    virtual ~GameProcess() = default;

    // Whether top-level windows can be seen here at all; where not, WindowExists
    // is always false.
    virtual bool HasWindows() = 0;
    // Whether a top-level window with this class and title is open.
    virtual bool WindowExists(const std::string& windowClass, const std::string& title) = 0;
    // Starts `file` with the parameter text in `directory` and waits until it
    // and every process it started have ended; says why when nothing could be
    // started. `whileRunning` is called every kWatchInterval milliseconds or so
    // meanwhile, told whether the started program itself has ended; when it
    // returns false the wait ends, and the processes still running are listed
    // in the result.
    virtual ProgramRun StartAndWait(const std::string& file, const std::string& parameters,
                                    const std::string& directory,
                                    const WatchWhileRunning& whileRunning) = 0;
};

// The backend's own.
GameProcess& NativeGameProcess();

}  // namespace srdw
