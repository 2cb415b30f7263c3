// Letter case as this system's file names ignore it, so that a model of a
// folder calls two spellings one file exactly when the system does. Windows
// (and Wine) fold every letter of the ANSI code page, "É" and "é" among them;
// the POSIX backend's case resolver folds A to Z only.
#pragma once

#include <string>

namespace srdw {

// A to Z lowered, and on Windows every other letter as the code page lowers it;
// the command line's switches are matched in the same case.
std::string FoldNameCase(std::string text);

}  // namespace srdw
