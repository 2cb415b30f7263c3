#include "app/LauncherApp.h"

int main() {
    srdw::LauncherApp app;
    app.Startup();
    return app.Shutdown();
}
