#include "app/LauncherApp.h"
#include "ui/Dialogs.h"

int main() {
    srdw::Platform platform{srdw::NativeFileSystem(), srdw::NativeLauncherProcess(),
                            srdw::NativeRecords(), srdw::NativeGameProcess(),
                            srdw::ui::NativeDialogs()};
    srdw::LauncherApp app(platform);
    app.Startup();
    return app.Shutdown();
}
