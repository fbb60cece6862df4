#pragma once

#include "app/settings.h"
#include "download/download_host.h"
#include "download/event_wait.h"
#include "platform/browse_dialog.h"
#include "platform/port_map.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class Clock;
class CommPort;
class FilePicker;
class PortComboBox;
class Prompt;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class frmSplash;

// A check box's value as the settings count it: 0 clear, 1 ticked, 2 greyed.
int checkValue(const QCheckBox *box);

// What the main window uses of the outside world. Everything left empty gets
// the real thing: message boxes over the window, Qt's file dialog, the system
// clock, the settings file in the program's folder and the about window at
// start-up. Tests put scripted parts and a temporary folder here.
struct Form1Services
{
    Prompt *prompt = nullptr;
    FilePicker *filePicker = nullptr;
    Clock *clock = nullptr;
    // The settings file that start-up reads and shutdown writes.
    QString settingsFile;
    // Start-up shows the about window as a splash until Timer2 closes it.
    bool showSplash = true;
    // Timer2's interval: how long after the window's creation it closes the
    // about window.
    int splashMs = 4000;
    // Where "Com N" is looked up: the folder that may hold comN entries and
    // the system's list of serial ports.
    QString programFolder;
    PortMap::PortLister portLister;
};

// The main window: every setting lives in its controls and is read from them
// when it is needed. It hosts the download run and owns the timers, the file
// dialog and the window-level variables that a run shares with it.
class Form1 : public QMainWindow, public DownloadHost
{
    Q_OBJECT

    // First of all members: the file dialog below is built on the picker.
    std::unique_ptr<Prompt> m_ownPrompt;
    std::unique_ptr<FilePicker> m_ownPicker;
    std::unique_ptr<Clock> m_ownClock;
    Prompt *m_prompt = nullptr;
    FilePicker *m_picker = nullptr;
    Clock *m_clock = nullptr;

public:
    explicit Form1(Form1Services services = {}, QWidget *parent = nullptr);
    ~Form1() override;

    // Start-up: the about window as a splash, the lists, the caption with the
    // version and the settings file; then the window is shown, idle.
    void StartUp();

    // Command2 runs it with 0 (jump mode), Command6 with 1 (wait mode).
    void RunDownload(qint16 DownloadMode);
    bool downloadRunning() const { return m_downloadRunning; }

    void RestoreDefaults();
    // Reads a settings file into the controls; on any failure shows the load
    // failure message and restores the defaults.
    void LoadSettings(const QString &FilePath);
    // Writes the controls into a settings file; on failure shows the save
    // failure message, the old file intact.
    void SaveSettings(const QString &FilePath);
    void EnterBusyState();
    void EnterIdleState();
    // Closes the serial port when it is open; a failing close is ignored.
    void ClosePortIfOpen();
    // Selects the whole text of a text box, caret at its end.
    void AutoSelect(QWidget *SelObject);

    // The sixteen values as the controls show them now.
    Settings currentSettings() const;
    // Shows one value of the record in its control. Throws Failure for a list
    // position or check box value that the control does not take.
    void showSetting(SettingRole role, const Settings &settings);

    Clock &clock() { return *m_clock; }
    QString settingsFile() const { return m_settingsFile; }

    // DownloadHost
    QString settingText(SettingRole role) override;
    int settingNumber(SettingRole role) override;
    DownloadVariables &variables() override { return m_variables; }
    QString caption() override;
    Prompt &prompt() override { return *m_prompt; }
    void setStatus(const QString &text) override;
    void showVersion(const QString &text) override;
    void showLinesRemaining(const QString &text) override;
    void setLinesRemainingText(const QString &text) override;
    void setLinesTimerEnabled(bool enabled) override;
    void enterBusyState() override { EnterBusyState(); }
    void enterIdleState() override { EnterIdleState(); }
    void withdrawEepromChoice() override;
    void focusApplicationBrowse() override;
    void letEventsRun() override;
    void waitForEvents(int boundMs) override;

    // The controls, by their designed names.
    QGroupBox *Frame1 = nullptr; // "Connection"
    QGroupBox *Frame2 = nullptr; // "Start Bootloader Characters"
    QGroupBox *Frame3 = nullptr; // "Download File Characters"
    QGroupBox *Frame4 = nullptr; // file rows and download buttons
    QGroupBox *Frame5 = nullptr; // status bar

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;  // the status line
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *Label9 = nullptr;
    QLabel *Label10 = nullptr;
    QLabel *Label11 = nullptr;
    QLabel *Label12 = nullptr;
    QLabel *Label13 = nullptr;
    QLabel *Label14 = nullptr; // lines remaining
    QLabel *Label15 = nullptr;
    QLabel *Label16 = nullptr; // bootloader version

    PortComboBox *Combo1 = nullptr;
    QComboBox *Combo2 = nullptr;

    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QLineEdit *Text3 = nullptr;
    QLineEdit *Text4 = nullptr;
    QLineEdit *Text5 = nullptr;
    QLineEdit *Text6 = nullptr;
    QLineEdit *Text7 = nullptr;
    QLineEdit *Text8 = nullptr;
    QLineEdit *Text9 = nullptr;
    QLineEdit *Text10 = nullptr;
    QLineEdit *Text11 = nullptr;
    QLineEdit *Text12 = nullptr;

    QCheckBox *FlashCheck = nullptr;
    QCheckBox *EepromCheck = nullptr;

    QPushButton *Command1 = nullptr; // "&Browse"
    QPushButton *Command2 = nullptr; // jump, then download
    QPushButton *Command3 = nullptr; // "E&xit"
    QPushButton *Command4 = nullptr; // "Cancel"
    QPushButton *Command5 = nullptr; // "Info"
    QPushButton *Command6 = nullptr; // wait, then download
    QPushButton *Command7 = nullptr; // "B&rowse"

    QMenu *FileMenu = nullptr;
    QAction *OpenMenu = nullptr;
    QAction *SaveMenu = nullptr;
    QAction *ExitMenu = nullptr;
    QAction *DefaultMenu = nullptr;
    QAction *InfoMenu = nullptr;

    QTimer *Timer1 = nullptr; // 60 ms, raises TickCount up to 5
    QTimer *Timer2 = nullptr; // closes the about window once
    QTimer *Timer3 = nullptr; // 1 s, copies LinesRemaining into Label14

    // The one file dialog of the window, shared by both Browse buttons and
    // File, Open and File, Save.
    ::BrowseDialog BrowseDialog;

    // The serial line to the target; opened only by a download.
    CommPort *MSComm1 = nullptr;

    // The twelve text boxes, Text1 to Text12.
    QList<QLineEdit *> textBoxes() const;
    // The about window while it is open, whoever opened it.
    frmSplash *aboutWindow() const;

protected:
    // The download run itself; RunDownload wraps it so that closing the
    // window during a run waits for the run to unwind.
    virtual void performDownload(qint16 DownloadMode);

    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // form1_layout.cpp
    void buildControls();
    void buildMenus();
    void buildTabOrder();
    void chooseWindowFont();
    void connectEvents();

    // Event handlers
    void cancelDownload();
    void browseFor(QLineEdit *field, const QString &filter);
    void dropFiles(QLineEdit *field, QDropEvent *event);
    void showAbout();
    void exitProgram();
    void openSettingsFile();
    void saveSettingsFile();
    void timer1Tick();
    void timer2Tick();
    void timer3Tick();
    void refreshPortTooltips();

    void coverStatusLine();
    QLineEdit *textBoxFor(SettingRole role) const;

    QString m_settingsFile;
    bool m_showSplash = true;
    PortMap m_portMap;

    DownloadVariables m_variables;
    EventWait m_eventWait;
    QPointer<frmSplash> m_about;

    bool m_downloadRunning = false;
    // A close that arrived during a run; carried out once the run has unwound.
    bool m_closeAfterRun = false;
    bool m_quitAfterClose = false;
    // The shutdown steps have run for this showing of the window.
    bool m_shutDown = false;
};
