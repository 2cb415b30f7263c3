#include "app/LaunchPaths.h"

namespace srdw {

LaunchPaths& Paths() {
    static LaunchPaths paths;
    return paths;
}

}  // namespace srdw
