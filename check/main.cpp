// SrdwCheck: checks a Duskwarden install script the way the launcher reads it,
// and tries it on a game directory without changing anything there.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "check/ScriptCheck.h"
#include "platform/FileSystem.h"
#include "srdw_version.h"
#include "ui/Console.h"

namespace {

constexpr int kClean = 0;
constexpr int kWarnings = 1;
constexpr int kErrors = 2;

constexpr std::string_view kHelp =
    R"(Usage: SrdwCheck [options] SCRIPT

Checks a Duskwarden install script (such as SrdwLaunch.dat) with the launcher's
own reader, parser and path expansion, and tells where the launcher would do
something other than what the script seems to say.

Options:
  --game DIR      the game directory, the value of @rootdir. With it, SrdwCheck
                  also tries install and restore on a copy of the directory's
                  names held in memory (a dry run): it shows the launcher's log
                  for both and whether restore puts every file back. Nothing on
                  disk is changed. Without it, @rootdir stands for <game>.
  --cmdline TEXT  the command line the player starts the launcher with, the
                  value of @cmdline (trimmed and lower-cased, as the launcher
                  does). Default: empty.
  --strict        exit with 1 when there are warnings.
  --json          print the report as JSON instead of text.
  --version       print SrdwCheck's version.
  --help          print this help.

Each finding names the script's line and column:
  error    the launcher refuses the script, skips a command that needs more
           than it has, or the dry run shows a command failing or restore not
           putting everything back;
  warning  the launcher does something the author likely did not mean: a name
           it does not know (names must match in letter case), a comment or a
           quoted ',' or ')' that cuts a call, ignored arguments, a path outside
           the game directory, two commands writing one path, a rename chain;
  note     a limit of the dry run.

Exit status: 0 when there is no error (and, with --strict, no warning);
1 with warnings only, when --strict is given; 2 with errors, or when the
script cannot be read or the options are wrong.

On Windows, run it in a Command Prompt (cmd), or drop a script onto
SrdwCheck.exe; started so, it keeps its window open until a key is pressed.
)";

constexpr std::string_view kVersion = "SrdwCheck " SRDW_VERSION "\n";

// Checks the script and writes its report; the exit status.
int CheckAndReport(const std::string& script, const srdw::check::CheckOptions& check, bool json,
                   bool strict) {
    const auto source = srdw::NativeFileSystem().ReadWholeFile(script);
    if (!source) {
        std::fprintf(stderr, "SrdwCheck: cannot read the script '%s'\n", script.c_str());
        return kErrors;
    }
    const auto report = srdw::check::CheckScript(script, *source, check);
    const std::string out = (json ? srdw::check::JsonReport : srdw::check::TextReport)(report);
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (report.Count(srdw::check::Severity::Error) > 0) {
        return kErrors;
    }
    return strict && report.Count(srdw::check::Severity::Warning) > 0 ? kWarnings : kClean;
}

// The check the command line asks for; its exit status.
int Run(const std::vector<std::string>& words, bool ownWindow) {
    std::string script;
    srdw::check::CheckOptions check;
    bool strict = false;
    bool json = false;
    std::string_view shown;  // the help or the version, shown instead of a check
    std::string error;       // what is wrong with the command line, if anything
    for (std::size_t i = 0; i < words.size() && error.empty(); ++i) {
        const std::string& word = words[i];
        if (word == "--help" || word == "-h" || word == "/?") {
            shown = kHelp;
        } else if (word == "--version") {
            shown = shown.empty() ? kVersion : shown;  // the help, when asked for too
        } else if (word == "--strict") {
            strict = true;
        } else if (word == "--json") {
            json = true;
        } else if (word == "--game" || word == "--cmdline") {
            if (i + 1 == words.size()) {
                error = word + " needs a value";
            } else {
                (word == "--game" ? check.gameDirectory : check.commandLine) = words[++i];
            }
        } else if (word.starts_with("--") && word.size() > 2) {
            error = "unknown option '" + word + "'";
        } else if (!script.empty()) {
            error = "one script at a time, not '" + script + "' and '" + word + "'";
        } else {
            script = word;
        }
    }
    if (error.empty() && script.empty() && shown.empty()) {
        error = "which script? Name one, such as SrdwLaunch.dat";
    }
    if (!error.empty()) {
        std::fprintf(stderr, "SrdwCheck: %s\nTry 'SrdwCheck --help'.\n", error.c_str());
        if (ownWindow && script.empty()) {
            // A double-click gives no script: say how to give one.
            std::fputs(
                "SrdwCheck checks the script dropped onto SrdwCheck.exe, or run it in a "
                "Command Prompt:\n  SrdwCheck SrdwLaunch.dat\n",
                stderr);
        }
        return kErrors;
    }
    if (!shown.empty()) {
        std::fwrite(shown.data(), 1, shown.size(), stdout);
        return kClean;
    }
    return CheckAndReport(script, check, json, strict);
}

}  // namespace

int main(int argc, char** argv) {
    // Started in a console window of its own (from Explorer), SrdwCheck would
    // close it with its report; it waits for a key instead.
    const bool ownWindow = srdw::ui::ConsoleIsOwn();
    const int status = Run(std::vector<std::string>(argv + 1, argv + argc), ownWindow);
    if (ownWindow) {
        std::fputs("\nPress a key to close this window.\n", stdout);
        std::fflush(stdout);
        srdw::ui::WaitForKey();
    }
    return status;
}
