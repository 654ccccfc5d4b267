#include "app/widgets/TunerApp.h"

#include <QPixmapCache>

#include "app/widgets/AppIcon.h"
#include "app/widgets/TunerDlg.h"

CTunerApp::CTunerApp(int& argc, char** argv) : m_application(argc, argv) {
    QApplication::setWindowIcon(VantrelIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vantrel.Vantrel"));
    // Qt's pixmap cache prunes itself on a 30-second timer, which would wake
    // a run between its checks; this small window gains nothing from it.
    QPixmapCache::setCacheLimit(0);
}

int CTunerApp::InitInstance() {
    CTunerDlg dialog;
    dialog.exec();
    return 0;
}
