// The game's process on POSIX: run and reaped with all it starts, as the
// subreaper of them all; no windows.
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/GameProcess.h"
#include "platform/posix/CaseInsensitivePath.h"
#include "platform/posix/PosixFiles.h"

namespace srdw {

std::vector<std::string> posix::SplitWindowsCommandLine(std::string_view text) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            if (std::exchange(inArgument, false)) {
                arguments.push_back(std::exchange(current, {}));
            }
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            const std::size_t end = std::min(text.find_first_not_of('\\', i), text.size());
            const bool beforeQuote = end < text.size() && text[end] == '"';
            current.append(beforeQuote ? (end - i) / 2 : end - i, '\\');
            const bool literalQuote = beforeQuote && (end - i) % 2 == 1;
            if (literalQuote) {
                current.push_back('"');
            }
            i = literalQuote ? end : end - 1;  // an even run leaves the quote to open or close
        } else if (c == '"' && quoted && i + 1 < text.size() && text[i + 1] == '"') {
            current.push_back('"');
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else {
            current.push_back(c);
        }
    }
    if (inArgument) {
        arguments.push_back(std::move(current));
    }
    return arguments;
}

namespace {

using posix::LookUpPath;
using Clock = std::chrono::steady_clock;

// SIGCHLD is held back while the wait runs, so that it can be waited for
// with a time limit, and let through again afterwards: `set` holds it alone,
// `previous` is the mask the launcher had.
struct BlockedChildSignal {
    BlockedChildSignal() {
        sigemptyset(&set);
        sigaddset(&set, SIGCHLD);
        ::pthread_sigmask(SIG_BLOCK, &set, &previous);
    }
    ~BlockedChildSignal() { ::pthread_sigmask(SIG_SETMASK, &previous, nullptr); }
    BlockedChildSignal(const BlockedChildSignal&) = delete;
    BlockedChildSignal& operator=(const BlockedChildSignal&) = delete;

    sigset_t set;
    sigset_t previous;
};

// A program gets the signal mask the launcher had, not the wait's.
int Spawn(pid_t& child, std::vector<std::string>& arguments, const std::string& workingDirectory,
          const sigset_t& mask) {
    std::vector<char*> argv(arguments.size() + 1, nullptr);  // the last one ends the list
    std::ranges::transform(arguments, argv.begin(),
                           [](std::string& argument) { return argument.data(); });
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!workingDirectory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setsigmask(&attributes, &mask);
    const int error =
        ::posix_spawn(&child, argv.front(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

// Reaps whatever has ended. False when no child is left at all; `programEnded`
// is set once `child` was among them.
bool ChildrenLeft(pid_t child, bool& programEnded) {
    for (;;) {
        const pid_t ended = ::waitpid(-1, nullptr, WNOHANG);
        if (ended > 0) {
            programEnded = programEnded || ended == child;
        } else if (ended == 0) {
            return true;
        } else if (errno != EINTR) {
            return false;
        }
    }
}

struct ProcessEntry {
    pid_t parent = 0;
    std::string name;
};

// /proc/<pid>/stat: "pid (name) state parent ..."; the name may hold blanks
// and parentheses, so it ends at the last ')'. False for a zombie not yet
// reaped by its parent too: it runs no more, and has no children.
bool ReadProcess(pid_t pid, ProcessEntry& entry) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(file, line);
    const auto open = line.find('(');
    const auto close = line.rfind(')');
    char state = 0;
    if (open == std::string::npos || close == std::string::npos || close < open ||
        std::sscanf(line.c_str() + close + 1, " %c %d", &state, &entry.parent) != 2) {
        return false;
    }
    entry.name = line.substr(open + 1, close - open - 1);
    return state != 'Z' && state != 'X';
}

// The kernel keeps 15 characters of a name; the program's file has all of them
// (none where its link cannot be read).
std::string FileNameOf(pid_t pid, const std::string& shortName) {
    const std::string path = posix::LinkTarget("/proc/" + std::to_string(pid) + "/exe");
    const std::string file = path.substr(path.rfind('/') + 1);
    return shortName.size() >= 15 && file.starts_with(shortName) ? file : shortName;
}

// The processes below this one that still run, by process id.
std::vector<RunningProcess> Descendants() {
    std::map<pid_t, ProcessEntry> processes;
    for (const std::string& name : NativeFileSystem().ListDirectory("/proc").names) {
        char* end = nullptr;
        const long pid = std::strtol(name.c_str(), &end, 10);
        ProcessEntry process;
        if (*end == '\0' && pid > 0 && ReadProcess(static_cast<pid_t>(pid), process)) {
            processes[static_cast<pid_t>(pid)] = process;
        }
    }
    const pid_t self = ::getpid();
    std::vector<RunningProcess> below;
    for (const auto& [pid, process] : processes) {
        pid_t parent = process.parent;
        for (int depth = 0; depth < 64 && parent > 1 && parent != self; ++depth) {
            const auto found = processes.find(parent);
            parent = found == processes.end() ? 0 : found->second.parent;
        }
        if (parent == self) {
            below.push_back({FileNameOf(pid, process.name), static_cast<unsigned long>(pid)});
        }
    }
    return below;
}

class PosixGame final : public GameProcess {
  public:
    bool HasWindows() override { return false; }
    bool WindowExists(const std::string&, const std::string&) override { return false; }

    // Starts the file in `directory` (the current one when empty) and reaps it
    // and every process below it until none is left, or until `whileRunning`
    // ends the wait; it is called every kWatchInterval milliseconds. The
    // launcher is the subreaper of what the game starts: a child the game hands
    // over to, even one that left its parent and was made a daemon, ends as the
    // launcher's own child. There are no windows to watch meanwhile.
    ProgramRun StartAndWait(const std::string& file, const std::string& parameters,
                            const std::string& directory,
                            const WatchWhileRunning& whileRunning) override {
        std::vector<std::string> arguments = posix::SplitWindowsCommandLine(parameters);
        arguments.insert(arguments.begin(), LookUpPath(file).path);
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        const BlockedChildSignal blocked;
        pid_t child = 0;
        if (const int error =
                Spawn(child, arguments, LookUpPath(directory).path, blocked.previous)) {
            return ProgramRun::NotStarted(std::strerror(error));
        }
        ProgramRun run;
        const auto interval = std::chrono::milliseconds(kWatchInterval);
        auto nextLook = Clock::now() + interval;
        bool programEnded = false;
        while (ChildrenLeft(child, programEnded)) {
            const auto now = Clock::now();
            if (now >= nextLook) {
                if (!whileRunning(programEnded)) {
                    run.left = Descendants();
                    break;
                }
                nextLook = now + interval;
            }
            const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(nextLook - now);
            const timespec timeout = {static_cast<time_t>(wait.count() / 1000000000),
                                      static_cast<long>(wait.count() % 1000000000)};
            ::sigtimedwait(&blocked.set, nullptr, &timeout);
        }
        // The launcher's locks kept no one out of the folders while the game ran.
        posix::ForgetDirectoryListings();
        return run;
    }
};

}  // namespace

GameProcess& NativeGameProcess() {
    static PosixGame game;
    return game;
}

}  // namespace srdw
