#include "script/ModScript.h"

#include <new>

#include "log/RunLog.h"
#include "script/FileBuffer.h"

namespace srdw {

void ModScript::Clear() {
    commands_.clear();
    arguments_.clear();
    text_.clear();
    text_.shrink_to_fit();
    installDirectories_.clear();
}

bool ModScript::Load(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    Clear();
    FileBuffer file;
    if (!file.LoadFromFile(path)) {
        return false;
    }
    path_ = path.substr(0, kMaxScriptPath);
    LogWrite("Loading script: ");
    LogWrite(path);
    LogWrite("\n");

    // The file's own buffer becomes the working buffer, cleaned in place: the
    // clean text is never longer, and a fresh process pays for every page of
    // new memory it touches.
    text_ = file.Release();
    const auto cleanLength = CleanScriptText(text_, text_.data());
    if (!cleanLength) {
        LogWrite("ERROR: Script is incorrect!\n");
        Clear();
        return false;
    }
    text_.resize(*cleanLength);

    try {
        if (!ParseCalls(text_, commands_, arguments_)) {
            LogWrite("ERROR in script!\n");
            return false;
        }
    } catch (const std::bad_alloc&) {
        LogWrite("ERROR: Failed to allocate memory for Script processing!\n");
        Clear();
        return false;
    }
    return true;
}

}  // namespace srdw
