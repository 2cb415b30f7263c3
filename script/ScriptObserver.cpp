#include "script/ScriptObserver.h"

#include "log/RunLogObserver.h"

namespace srdw {

namespace {

ScriptObserver* g_installed = nullptr;

}  // namespace

ScriptObserver& Outcomes() {
    return g_installed ? *g_installed : RunLogOutcomes();
}

OutcomesScope::OutcomesScope(ScriptObserver& observer) : previous_(g_installed) {
    g_installed = &observer;
}

OutcomesScope::~OutcomesScope() {
    g_installed = previous_;
}

}  // namespace srdw
