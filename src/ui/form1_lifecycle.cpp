// Start-up and shutdown of the main window, and the ways to end the program.

#include "app/app_info.h"
#include "platform/comm_port.h"
#include "ui/form1.h"
#include "ui/port_combo_box.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPushButton>
#include <QScreen>

void Form1::StartUp()
{
    // The splash waits here until a key, a click or Timer2 closes it.
    if (m_showSplash)
        showAbout();
    Combo1->setCurrentIndex(0);
    Combo2->setCurrentIndex(3);
    setWindowTitle(AppInfo::captionWithVersion(windowTitle()));
    // A missing or unreadable file is reported now, before the window shows.
    LoadSettings(m_settingsFile);

    if (QScreen *shown = screen())
        move(shown->availableGeometry().center() - rect().center());
    show();
    Command2->setFocus();
}

void Form1::exitProgram()
{
    if (m_downloadRunning)
        m_quitAfterClose = true;
    if (close())
        QCoreApplication::quit();
}

void Form1::showEvent(QShowEvent *event)
{
    m_shutDown = false;
    QMainWindow::showEvent(event);
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (m_downloadRunning) {
        // The run is inside one of its waits, further up this very stack.
        // Stop it as Cancel would and close once it has unwound (the port
        // closed, the file released): the window must outlive the run that
        // uses it.
        event->ignore();
        m_closeAfterRun = true;
        cancelDownload();
        return;
    }
    // Once per closing: ending the program closes the (hidden) window again.
    if (!m_shutDown) {
        m_shutDown = true;
        ClosePortIfOpen();
        SaveSettings(m_settingsFile);
    }
    event->accept();
}

void Form1::ClosePortIfOpen()
{
    // Closing a closed port does nothing, and closing never fails.
    MSComm1->setPortOpen(false);
}
