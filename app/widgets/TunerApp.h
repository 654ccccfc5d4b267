#pragma once

#include <QApplication>

// The application object: Qt's application with Vantrel's name and icon.
// InitInstance runs the main dialog modally and returns when it has closed
// and is gone; there is no message loop of the application's own.
class CTunerApp {
public:
    CTunerApp(int& argc, char** argv);

    // The exit status: 0.
    int InitInstance();

private:
    QApplication m_application;
};
