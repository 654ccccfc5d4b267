#include "app/widgets/TunerApp.h"

#include "app/widgets/AppIcon.h"
#include "app/widgets/TunerDlg.h"

CTunerApp::CTunerApp(int& argc, char** argv) : m_application(argc, argv) {
    QApplication::setWindowIcon(VantrelIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vantrel.Vantrel"));
}

int CTunerApp::InitInstance() {
    CTunerDlg dialog;
    dialog.exec();
    return 0;
}
