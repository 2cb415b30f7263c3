// The registry's one-shot start-up entry: a value under the RunOnce key of
// the machine (HKEY_LOCAL_MACHINE) or of the user (HKEY_CURRENT_USER).
#pragma once

#include <windows.h>

#include <string>

#include "platform/FileSystem.h"

namespace srdw::win32 {

OsResult WriteRunOnce(HKEY root, const std::string& name, const std::string& command);
OsResult DeleteRunOnce(HKEY root, const std::string& name);

}  // namespace srdw::win32
