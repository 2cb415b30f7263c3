// What the script engine works with, handed in whole by whoever runs it: the
// launcher hands in the system's file system and its run log, a rehearsal its
// model of the folder and a listener that keeps quiet, SrdwCheck its own.
#pragma once

#include <string_view>

#include "platform/FileSystem.h"
#include "script/ScriptObserver.h"

namespace srdw {

struct Engine {
    FileSystem& files;
    ScriptObserver& observer;

    // A piece of the running command's words.
    void Say(std::string_view words) const { observer.Said(words); }
};

}  // namespace srdw
