#include "app/LauncherApp.h"
#include "app/NativeServices.h"

int main() {
    const srdw::NativeServices services;
    srdw::LauncherApp app;
    app.Startup();
    return app.Shutdown();
}
