// The game's process on POSIX: run and reaped with all it starts; no windows.
#include <string>
#include <vector>

#include "platform/GameProcess.h"
#include "platform/posix/CaseInsensitivePath.h"
#include "platform/posix/ProcessWait.h"
#include "platform/posix/WindowsCommandLine.h"

namespace srdw {

namespace {

using posix::ResolveCase;

class PosixGame final : public GameProcess {
  public:
    bool HasWindows() override { return false; }
    bool WindowExists(const std::string&, const std::string&) override { return false; }

    // The launcher is the subreaper of what the game starts: a child the game
    // hands over to, even one that left its parent, ends as the launcher's own
    // child. There are no windows to watch meanwhile.
    ProgramRun StartAndWait(const std::string& file, const std::string& parameters,
                            const std::string& directory,
                            const WatchWhileRunning& whileRunning) override {
        std::vector<std::string> arguments = posix::SplitWindowsCommandLine(parameters);
        arguments.insert(arguments.begin(), ResolveCase(file));
        ProgramRun run =
            posix::RunAndReap(std::move(arguments), ResolveCase(directory), whileRunning);
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
