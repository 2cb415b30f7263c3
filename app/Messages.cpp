#include "app/Messages.h"

#include <deque>
#include <optional>

#include "app/CommandLine.h"
#include "app/PathText.h"
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
std::optional<StrayScript> FindScriptBelow(FileSystem& files, const std::string& firstCandidate,
                                           const std::string& secondCandidate) {
    constexpr std::size_t kDepth = 2;
    constexpr std::size_t kEntries = 4096;
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

int ShowMessage(PlayerDialogs& player, unsigned id, unsigned style) {
    return player.ShowMessageBox(player.LoadText(id), style);
}

std::string MessageText(PlayerDialogs& player, unsigned id,
                        std::initializer_list<std::string_view> inserts) {
    const std::string text = player.LoadText(id);
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

bool RefuseUnusablePath(const Launch& launch) {
    const std::string shown = launch.platform.process.UnusablePath();
    if (shown.empty()) {
        return false;
    }
    launch.Player().ShowMessageBox(MessageText(launch.Player(), IDS_PATH_CHARACTERS, {shown}), 0);
    launch.log.Write("ERROR: the path '");
    launch.log.Write(shown);
    launch.log.Write("' holds characters that cannot be used here; nothing was changed!\n");
    return true;
}

void ReportScriptNotLoaded(const Launch& launch, const ModScript& script,
                           const std::string& firstCandidate, const std::string& secondCandidate) {
    PlayerDialogs& player = launch.Player();
    RunLog& log = launch.log;
    std::string text = player.LoadText(IDS_SCRIPT_NOT_LOADED);
    std::optional<StrayScript> stray;
    if (!script.Fault().empty()) {
        text += "\n\n" +
                MessageText(player, IDS_SCRIPT_FAULT, {script.Fault(), '"' + script.Path() + '"'});
    } else if ((stray = FindScriptBelow(launch.Files(), firstCandidate, secondCandidate))) {
        text += "\n\n" + MessageText(player, IDS_SCRIPT_ELSEWHERE, {stray->at, stray->mustGo});
    }
    player.ShowMessageBox(text, 0);
    log.Write("ERROR: Failed to load script!\n");
    if (stray) {
        log.Write(" > no script beside the launcher, but '");
        log.Write(stray->at);
        log.Write("' below it; it is read only as '");
        log.Write(stray->mustGo);
        log.Write("'\n");
    }
}

void TellOfRecoveryByHand(const Launch& launch, LaunchMode mode) {
    if (mode == LaunchMode::RecoverMode && !HasRecoverSwitch(launch.paths.CommandLine)) {
        ShowMessage(launch.Player(), IDS_RECOVERED_BY_HAND, 0);
    }
}

}  // namespace srdw
