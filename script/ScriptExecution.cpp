// Install applies the commands first to last; Restore undoes them last to first,
// each in the directory that was current when it was installed, so that chains
// such as Rename(a, b) then Rename(b, c) come apart in the right order.
#include <string_view>

#include "app/LaunchPaths.h"
#include "log/RunLog.h"
#include "platform/FileSystem.h"
#include "script/CommandSet.h"
#include "script/FileMoves.h"
#include "script/FileSwap.h"
#include "script/ModScript.h"
#include "script/PathExpansion.h"

namespace srdw {

namespace {

enum class Direction { Install, Restore };

void RunRenameEx(const ScriptCommand& command, Direction direction) {
    LogWrite("Executing 'RenameEx()'\n");
    const std::string original = ExpandPath(command.Arg(0));
    const std::string modified = ExpandPath(command.Arg(1));
    const std::string backup = ExpandPath(command.Arg(2));
    if (original.empty() || modified.empty() || backup.empty()) {
        return;
    }
    if (direction == Direction::Install) {
        SwapFiles(original, modified, backup);
    } else {
        UnswapFiles(original, modified, backup);
    }
}

// The directory named by "SetDirectory"; a failure is no error of the script's.
void RunSetDirectory(const ScriptCommand& command, Direction direction) {
    LogWrite("Executing 'SetDirectoty()'\n");
    const std::string directory = ExpandPath(command.Arg(0));
    // Restore puts back the directory from before the command instead.
    if (direction == Direction::Install) {
        static_cast<void>(Files().ChangeDirectory(directory));  // no error of the script's
    }
}

void LogFileError(std::string_view leadIn, const std::string& path, std::string_view closing) {
    LogWrite(leadIn);
    LogWrite(path);
    LogWrite(closing);
}

void RenameOneWay(const std::string& from, const std::string& to) {
    if (!Exists(from)) {
        LogFileError("ERROR: the file '", from, "' does not exist!\n");
    } else if (Exists(to)) {
        LogFileError("ERROR: the file '", to, "' already exists!\n");
    } else if (!MovePath(from, to)) {
        LogWrite("ERROR: failed to rename '");
        LogWrite(from);
        LogFileError("' to '", to, "'!\n");
    }
}

void RunRename(const ScriptCommand& command, Direction direction) {
    LogWrite("Executing 'Rename()'\n");
    const std::string source = ExpandPath(command.Arg(0));
    const std::string target = ExpandPath(command.Arg(1));
    if (source.empty() || target.empty()) {
        return;
    }
    if (direction == Direction::Install) {
        RenameOneWay(source, target);
    } else {
        RenameOneWay(target, source);
    }
}

bool IsSetDirectory(const ScriptCommand& command) {
    return command.name == kSetDirectory.name;
}

// Names match exactly, letter case included; other names are skipped silently.
void Run(const ScriptCommand& command, Direction direction) {
    if (command.name == kRenameEx.name) {
        RunRenameEx(command, direction);
    } else if (IsSetDirectory(command)) {
        RunSetDirectory(command, direction);
    } else if (command.name == kRename.name) {
        RunRename(command, direction);
    }
}

}  // namespace

void ModScript::Install() {
    LogWrite("\nInstalling script...\n");
    installDirectories_.assign({DirectoryStretch{0, Files().WorkingDirectory()}});
    for (std::size_t i = 0; i < commands_.size(); ++i) {
        Run(commands_[i], Direction::Install);
        if (IsSetDirectory(commands_[i])) {
            installDirectories_.push_back({i + 1, Files().WorkingDirectory()});
        }
    }
}

// Without an install in this run (a recovery), the directories of the install
// are found again by following the "SetDirectory" commands from where Restore
// starts, quietly.
std::vector<ModScript::DirectoryStretch> ModScript::ReplayDirectories() const {
    std::vector<DirectoryStretch> stretches{{0, Files().WorkingDirectory()}};
    const LaunchPaths& paths = Paths();
    for (std::size_t i = 0; i < commands_.size(); ++i) {
        if (IsSetDirectory(commands_[i])) {
            if (auto directory =
                    ExpandArgument(commands_[i].Arg(0), paths.RootDir, paths.CommandLine)) {
                // As at install: a directory that is not there leaves the current one.
                static_cast<void>(Files().ChangeDirectory(*directory));
            }
            stretches.push_back({i + 1, Files().WorkingDirectory()});
        }
    }
    return stretches;
}

void ModScript::Restore() {
    LogWrite("\nRestoring script...\n");
    std::vector<DirectoryStretch> replayed;
    if (installDirectories_.empty()) {
        replayed = ReplayDirectories();
    }
    const auto& stretches = installDirectories_.empty() ? replayed : installDirectories_;
    auto stretch = stretches.rbegin();
    const std::string* current = nullptr;
    for (std::size_t i = commands_.size(); i-- > 0;) {
        while (stretch->firstCommand > i) {
            ++stretch;
        }
        if (current != &stretch->directory) {
            current = &stretch->directory;
            // As at install: where it fails, the commands run in the current directory.
            static_cast<void>(Files().ChangeDirectory(*current));
        }
        Run(commands_[i], Direction::Restore);
    }
}

}  // namespace srdw
