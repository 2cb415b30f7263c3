#include "app/LauncherApp.h"
#include "ui/Dialogs.h"

int main() {
    return srdw::LauncherMain({srdw::NativeFileSystem(), srdw::NativeLauncherProcess(),
                               srdw::NativeRecords(), srdw::NativeGameProcess(),
                               srdw::ui::NativeDialogs()});
}
