// A check's report for people (compiler-style findings, the command list, the
// dry run) and for a mod's own CI (JSON).
#pragma once

#include <ostream>

#include "check/CheckReport.h"

namespace srdw::check {

void WriteText(const CheckReport& report, std::ostream& out);
void WriteJson(const CheckReport& report, std::ostream& out);

}  // namespace srdw::check
