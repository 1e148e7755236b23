// Entry point of the workbench.
#include <QApplication>

#include "platform/textconv.h"
#include "shopdesk.h"

int main(int argc, char** argv) {
    platform::SetProcessUtf8Locale();
    QApplication qt(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    CshopdeskApp app(argc, argv);
    app.InitInstance();
    return 0;
}
