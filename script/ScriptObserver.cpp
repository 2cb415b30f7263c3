#include "script/ScriptObserver.h"

#include "log/RunLogObserver.h"
#include "platform/Installed.h"

namespace srdw {

ScriptObserver& Outcomes() {
    ScriptObserver* installed = Installed<ScriptObserver>::Current();
    return installed ? *installed : RunLogOutcomes();
}

}  // namespace srdw
