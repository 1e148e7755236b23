// Entry point of the workbench.
#include "platform/textconv.h"
#include "shopdesk.h"

int main(int argc, char** argv) {
    platform::SetProcessUtf8Locale();
    CshopdeskApp app(argc, argv);
    return app.InitInstance() ? 0 : app.ExitCode();
}
