#include "platform/FileSystem.h"

namespace srdw {

std::vector<PathState> FileSystem::LookUp(std::span<const std::string> paths, bool storedNames) {
    std::vector<PathState> states(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        PathState& state = states[i];
        state.path = paths[i];
        state.attributes = Attributes(paths[i]);
        state.stored = state.attributes && storedNames ? StoredName(paths[i]) : paths[i];
        if (state.attributes && storedNames && !state.attributes->identity.known) {
            state.attributes->identity = IdentityOf(paths[i]);
        }
        state.native = state.stored;
    }
    return states;
}

}  // namespace srdw
