// Texts of the launcher's string table, for the desktop and its windows alike.
#pragma once

#include <string>

namespace srdw::win32 {

// A string-table entry of the running program, or empty.
std::string ResourceText(unsigned id);
// The application title: caption of the message boxes, the splash and the chooser.
std::string AppTitle();

}  // namespace srdw::win32
