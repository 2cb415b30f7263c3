#include "platform/Memory.h"

namespace srdw {

// Windows gives large pages only to a process holding the right to lock memory
// (SeLockMemoryPrivilege), which a player's account does not have, and only
// through VirtualAlloc; ordinary pages it is.
void PreferHugePages(void*, std::size_t) {}

}  // namespace srdw
