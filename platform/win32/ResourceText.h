// Texts of the running program's string table, by id: the ids and the texts
// are the application's (res/), handed down to the platform by number.
#pragma once

#include <string>

namespace srdw::win32 {

// A string-table entry of the running program, or empty.
std::string ResourceText(unsigned id);

}  // namespace srdw::win32
