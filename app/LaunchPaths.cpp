#include "app/LaunchPaths.h"

#include "platform/Installed.h"

namespace srdw {

LaunchPaths& Paths() {
    static LaunchPaths none;
    LaunchPaths* paths = Installed<LaunchPaths>::Current();
    return paths ? *paths : none;
}

}  // namespace srdw
