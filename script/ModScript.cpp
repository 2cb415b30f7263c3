#include "script/ModScript.h"

#include <new>
#include <utility>

#include "log/RunLog.h"
#include "script/SourceMap.h"

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
    auto bytes = files.ReadWholeFile(path);
    if (!bytes || bytes->empty()) {
        return false;
    }
    path_ = path.substr(0, kMaxScriptPath);
    fault_.clear();
    log.Write({"Loading script: ", path, "\n"});

    // The file's own buffer becomes the working buffer, cleaned in place: the
    // clean text is never longer, and a fresh process pays for every page of
    // new memory it touches.
    ownText_ = std::move(*bytes);
    const auto cleanLength = CleanScriptText(ownText_, ownText_.data());
    if (!cleanLength) {
        log.Write("ERROR: Script is incorrect!\n");
        ReportFault(files, log, path, 0);
        Clear();
        return false;
    }
    ownText_.resize(*cleanLength);
    text_ = ownText_;

    try {
        const std::size_t reach = ParseCalls(text_, commands_, arguments_);
        if (reach < text_.size()) {
            log.Write("ERROR in script!\n");
            ReportFault(files, log, path, reach);
            return false;
        }
    } catch (const std::bad_alloc&) {
        log.Write("ERROR: Failed to allocate memory for Script processing!\n");
        Clear();
        return false;
    }
    return true;
}

void ModScript::UseParsed(std::string_view text, std::vector<ScriptCommand> commands) {
    Clear();
    text_ = text;
    commands_ = std::move(commands);
}

void ModScript::ReportFault(FileSystem& files, RunLog& log, const std::string& path,
                            std::size_t reach) {
    const auto bytes = files.ReadWholeFile(path);
    if (!bytes || bytes->empty()) {
        return;  // gone or emptied since: nothing to show
    }
    // This load's own cleaned text is the map's byte for byte, so the parse
    // stopped at `reach` in both.
    const SourceMap map(*bytes);
    const LoadFault fault = FindLoadFault(map, reach);
    const SourcePosition where = map.PositionOf(fault.at);
    fault_ = path + ":" + std::to_string(where.line) + ":" + std::to_string(where.column) + ": " +
             fault.what;
    log.Write({fault_, "\n"});
}

}  // namespace srdw
