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
    Loading(log, path);

    // The file's own buffer becomes the working buffer, cleaned in place: the
    // clean text is never longer, and a fresh process pays for every page of
    // new memory it touches.
    ownText_ = std::move(*bytes);
    const auto cleanLength = CleanScriptText(ownText_, ownText_.data());
    if (!cleanLength) {
        log.Write("ERROR: Script is incorrect!\n");
        ReportFault(files, log, path);
        Clear();
        return false;
    }
    ownText_.resize(*cleanLength);
    text_ = ownText_;

    try {
        if (!ParseCalls(text_, commands_, arguments_)) {
            log.Write("ERROR in script!\n");
            ReportFault(files, log, path);
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
    fault_.clear();
    log.Write({"Loading script: ", path, "\n"});
}

void ModScript::ReportFault(FileSystem& files, RunLog& log, const std::string& path) {
    const auto bytes = files.ReadWholeFile(path);
    if (!bytes || bytes->empty()) {
        return;  // gone or emptied since: nothing to show
    }
    const std::string& source = *bytes;
    const SourceMap map(source);
    // The parser's calls view this load's own cleaned text, which is the map's
    // byte for byte.
    std::optional<std::size_t> lastClose;
    if (!commands_.empty()) {
        const std::string_view name = commands_.back().name;
        const auto open = static_cast<std::size_t>(name.data() - text_.data()) + name.size();
        lastClose = text_.find(')', open + 1);
    }
    const LoadFault fault = FindLoadFault(map, lastClose);
    const SourcePosition where = map.PositionOf(fault.at);
    fault_ = path + ":" + std::to_string(where.line) + ":" + std::to_string(where.column) + ": " +
             fault.what;
    log.Write({fault_, "\n"});
}

}  // namespace srdw
