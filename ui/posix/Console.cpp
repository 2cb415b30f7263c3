#include "ui/Console.h"

namespace srdw::ui {

bool ConsoleIsOwn() {
    return false;
}

void WaitForKey() {}

}  // namespace srdw::ui
