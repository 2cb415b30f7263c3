// Memory as the system hands it out.
#pragma once

#include <cstddef>

namespace srdw {

// Asks for a large block's pages, before they are first touched, to be huge
// pages where the system offers them for the asking. A fresh process pays a
// fault for every page of new memory, and on a virtual machine a fault can cost
// more than the work done on the page. Only advice: without it, nothing changes.
void PreferHugePages(void* block, std::size_t bytes);

}  // namespace srdw
