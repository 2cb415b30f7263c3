#include "app/Messages.h"

#include <deque>
#include <optional>

#include "app/CommandLine.h"
#include "app/LaunchPaths.h"
#include "app/PathText.h"
#include "log/RunLog.h"
#include "platform/FileSystem.h"
#include "platform/LauncherProcess.h"
#include "platform/PlayerDialogs.h"
#include "script/ModScript.h"
#include "script/PathModel.h"

namespace srdw {

namespace {

// A script found below the launcher's folder, and the candidate it must become.
struct StrayScript {
    std::string at;
    std::string mustGo;
};

// A mod unpacked with its folder, or the release's example, leaves the script
// one or two folders down. Looked for only when no script is beside the
// launcher at all, in a bounded number of entries: a game folder is large.
std::optional<StrayScript> FindScriptBelow(const std::string& firstCandidate,
                                           const std::string& secondCandidate) {
    constexpr std::size_t kDepth = 2;
    constexpr std::size_t kEntries = 4096;
    FileSystem& files = Files();
    if (files.Attributes(firstCandidate) || files.Attributes(secondCandidate)) {
        return std::nullopt;  // there, but not loadable: not a matter of its place
    }
    const std::string* const candidates[] = {&firstCandidate, &secondCandidate};
    const std::string_view names[] = {
        std::string_view(firstCandidate).substr(DirectoryOf(firstCandidate).size() + 1),
        std::string_view(secondCandidate).substr(DirectoryOf(secondCandidate).size() + 1)};
    struct Folder {
        std::string path;
        std::size_t depth;
    };
    std::deque<Folder> folders{{DirectoryOf(firstCandidate), 0}};
    std::size_t looked = 0;
    while (!folders.empty() && looked < kEntries) {
        const Folder folder = std::move(folders.front());
        folders.pop_front();
        for (const std::string& name : files.ListDirectory(folder.path).names) {
            if (++looked > kEntries) {
                break;
            }
            const std::string path = folder.path + "\\" + name;
            const auto attributes = files.Attributes(path);
            if (!attributes) {
                continue;
            }
            if (attributes->directory) {
                if (folder.depth < kDepth && !files.IsLink(path)) {
                    folders.push_back({path, folder.depth + 1});
                }
                continue;
            }
            for (std::size_t i = 0; i < 2 && folder.depth > 0; ++i) {
                if (SameName(name, names[i])) {
                    return StrayScript{path, *candidates[i]};
                }
            }
        }
    }
    return std::nullopt;
}

}  // namespace

int ShowMessage(unsigned id, unsigned style) {
    return Player().ShowMessageBox(Player().LoadText(id), style);
}

std::string MessageText(unsigned id, std::initializer_list<std::string_view> inserts) {
    const std::string text = Player().LoadText(id);
    std::string filled;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '%' && next >= '1' && next <= '9' &&
            static_cast<std::size_t>(next - '0') <= inserts.size()) {
            filled.append(inserts.begin()[next - '1']);
            ++i;
        } else {
            filled.push_back(text[i]);
        }
    }
    return filled;
}

bool RefuseUnusablePath() {
    const std::string shown = OwnProcess().UnusablePath();
    if (shown.empty()) {
        return false;
    }
    Player().ShowMessageBox(MessageText(IDS_PATH_CHARACTERS, {shown}), 0);
    LogWrite("ERROR: the path '");
    LogWrite(shown);
    LogWrite("' holds characters that cannot be used here; nothing was changed!\n");
    return true;
}

void ReportScriptNotLoaded(const ModScript& script, const std::string& firstCandidate,
                           const std::string& secondCandidate) {
    std::string text = Player().LoadText(IDS_SCRIPT_NOT_LOADED);
    std::optional<StrayScript> stray;
    if (!script.Fault().empty()) {
        text += "\n\n" + MessageText(IDS_SCRIPT_FAULT, {script.Fault(), '"' + script.Path() + '"'});
    } else if ((stray = FindScriptBelow(firstCandidate, secondCandidate))) {
        text += "\n\n" + MessageText(IDS_SCRIPT_ELSEWHERE, {stray->at, stray->mustGo});
    }
    Player().ShowMessageBox(text, 0);
    LogWrite("ERROR: Failed to load script!\n");
    if (stray) {
        LogWrite(" > no script beside the launcher, but '");
        LogWrite(stray->at);
        LogWrite("' below it; it is read only as '");
        LogWrite(stray->mustGo);
        LogWrite("'\n");
    }
}

void TellOfRecoveryByHand(LaunchMode mode) {
    if (mode == LaunchMode::RecoverMode && !HasRecoverSwitch(Paths().CommandLine)) {
        ShowMessage(IDS_RECOVERED_BY_HAND, 0);
    }
}

}  // namespace srdw
