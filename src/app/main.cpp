// Entry point of the workbench.
#include <QApplication>

#include "platform/heap.h"
#include "platform/textconv.h"
#include "shopdesk.h"

int main(int argc, char** argv) {
    // The page may send texts of megabytes all day; their memory must not stay with the process.
    platform::HeapSetInformation(platform::GetProcessHeap(), platform::HeapCompatibilityInformation,
                                 &platform::kHeapLowFragmentation, sizeof(platform::kHeapLowFragmentation));
    platform::SetProcessUtf8Locale();
    QApplication qt(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    CshopdeskApp app(argc, argv);
    app.InitInstance();
    return 0;
}
