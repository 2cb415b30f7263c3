// The run log: one plain-text file beside the launcher per run, overwritten by
// the next run. Every step and every failure of the launcher is written here;
// every "\n" reaches the file as CR LF, on every platform. As the script
// engine's listener it writes the headings, each command's announcement and
// expansions, and the command's own words. It also counts the install's
// commands that did not go in, which the player is asked about before the game
// starts.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "script/ScriptObserver.h"

namespace srdw {

// The heading of an install in the log, after the line end before it; a log
// that holds it is the record of what an install changed.
inline constexpr std::string_view kInstallHeading = "\nInstalling script...";

class RunLog final : public ScriptObserver {
  public:
    // The header's and the footer's time stamps come from `files`' clock.
    explicit RunLog(FileSystem& files) : files_(files) {}
    ~RunLog() override { Close(); }

    // Opens (and empties) the log at `path` and writes the header. Without a
    // log the run goes on; false then.
    bool Open(const std::string& path);
    // The same into a file another opened (SrdwCheck's dry run keeps it).
    void Open(std::unique_ptr<OutputFile> file);
    // Appends the text unchanged; nothing when the log is closed or the text is empty.
    void Write(std::string_view text);
    // Appends the pieces one after the other, as the parts of one line.
    void Write(std::initializer_list<std::string_view> pieces);
    // Hands what was written so far to the operating system, so a crash later keeps it.
    void Flush();
    // Writes the footer and closes the log; later writes do nothing.
    void Close();

    void WalkStarted(Walk walk) override;
    void CommandStarted(const CommandDefinition& command) override;
    void PathExpanded(std::string_view source, std::optional<std::string_view> expanded) override;
    void Said(std::string_view words) override { Write(words); }
    void MoveHeld(const std::string& path, unsigned pause) override;
    void CommandFinished(Verdict verdict) override;

    // The install's commands, and those of them that failed or were skipped
    // for an empty or too long argument.
    std::size_t InstallCommands() const { return commands_; }
    std::size_t FailedInstalls() const { return failed_; }

  private:
    FileSystem& files_;
    std::unique_ptr<OutputFile> file_;  // none while closed
    std::string pending_;               // already converted to CR LF
    bool lineOpen_ = false;             // the last text written did not end its line
    bool installing_ = false;
    std::size_t commands_ = 0;
    std::size_t failed_ = 0;
};

}  // namespace srdw
