#include "script/ModScript.h"

#include <new>

#include "log/RunLog.h"
#include "script/FileBuffer.h"

namespace srdw {

void ModScript::Clear() {
    commands_.clear();
    arguments_.clear();
    text_ = {};
    ownText_.clear();
    ownText_.shrink_to_fit();
    installDirectories_.clear();
}

bool ModScript::Load(FileSystem& files, RunLog& log, const std::string& path) {
    if (path.empty()) {
        return false;
    }
    Clear();
    FileBuffer file;
    if (!file.LoadFromFile(files, path)) {
        return false;
    }
    Loading(log, path);

    // The file's own buffer becomes the working buffer, cleaned in place: the
    // clean text is never longer, and a fresh process pays for every page of
    // new memory it touches.
    ownText_ = file.Release();
    const auto cleanLength = CleanScriptText(ownText_, ownText_.data());
    if (!cleanLength) {
        log.Write("ERROR: Script is incorrect!\n");
        Clear();
        return false;
    }
    ownText_.resize(*cleanLength);
    text_ = ownText_;

    try {
        if (!ParseCalls(text_, commands_, arguments_)) {
            log.Write("ERROR in script!\n");
            return false;
        }
    } catch (const std::bad_alloc&) {
        log.Write("ERROR: Failed to allocate memory for Script processing!\n");
        Clear();
        return false;
    }
    return true;
}

void ModScript::UseParsed(RunLog& log, const std::string& path, std::string_view text,
                          std::vector<ScriptCommand> commands) {
    Clear();
    Loading(log, path);
    text_ = text;
    commands_ = std::move(commands);
}

void ModScript::Loading(RunLog& log, const std::string& path) {
    path_ = path.substr(0, kMaxScriptPath);
    log.Write("Loading script: ");
    log.Write(path);
    log.Write("\n");
}

}  // namespace srdw
