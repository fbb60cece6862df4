#include "ui/form1.h"

#include "app/app_info.h"
#include "download/download_run.h"
#include "platform/clock.h"
#include "platform/comm_port.h"
#include "platform/failure.h"
#include "platform/prompt.h"
#include "platform/widgets/file_dialog_picker.h"
#include "platform/widgets/message_box_prompt.h"
#include "ui/frm_splash.h"
#include "ui/logo.h"
#include "ui/port_combo_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

Form1::Form1(Form1Services services, QWidget *parent)
    : QMainWindow(parent)
    , m_ownPrompt(services.prompt ? std::unique_ptr<Prompt>() : std::make_unique<MessageBoxPrompt>(this))
    , m_ownPicker(services.filePicker ? std::unique_ptr<FilePicker>() : std::make_unique<FileDialogPicker>(this))
    , m_ownClock(services.clock ? std::unique_ptr<Clock>() : std::make_unique<SystemClock>())
    , m_prompt(services.prompt ? services.prompt : m_ownPrompt.get())
    , m_picker(services.filePicker ? services.filePicker : m_ownPicker.get())
    , m_clock(services.clock ? services.clock : m_ownClock.get())
    , BrowseDialog(*m_picker)
    , m_settingsFile(services.settingsFile.isEmpty() ? AppInfo::defaultSettingsFile() : services.settingsFile)
    , m_showSplash(services.showSplash)
    , m_portMap(services.programFolder.isEmpty() ? AppInfo::programFolder() : services.programFolder,
                services.portLister ? services.portLister : PortMap::PortLister(PortMap::systemPorts))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    setWindowIcon(tarnwickIcon());

    buildControls();
    buildMenus();
    buildTabOrder();
    MSComm1 = new CommPort(m_portMap.resolver(), this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    refreshPortTooltips();

    // The client area is 8685 by 7110 twips; the menu bar comes on top.
    resize(579, 474 + menuBar()->sizeHint().height());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(DownloadVariables::TickIntervalMs);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(services.splashMs);
    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(1000);

    connectEvents();

    Timer1->start();
    Timer2->start();
}

Form1::~Form1() = default;

void Form1::connectEvents()
{
    connect(Command2, &QPushButton::clicked, this, [this] { RunDownload(0); });
    connect(Command6, &QPushButton::clicked, this, [this] { RunDownload(1); });
    connect(Command4, &QPushButton::clicked, this, &Form1::cancelDownload);
    connect(Command1, &QPushButton::clicked, this, [this] {
        browseFor(Text1, QStringLiteral("Hex Files (*.hex)|*.hex|Binary Files (*.bin)|*.bin"));
    });
    connect(Command7, &QPushButton::clicked, this, [this] {
        browseFor(Text11,
                  QStringLiteral("EEPROM Files (*.eep)|*.eep|Hex Files (*.hex)|*.hex|Binary Files (*.bin)|*.bin"));
    });
    connect(Command5, &QPushButton::clicked, this, &Form1::showAbout);
    connect(InfoMenu, &QAction::triggered, this, &Form1::showAbout);
    connect(Command3, &QPushButton::clicked, this, &Form1::exitProgram);
    connect(ExitMenu, &QAction::triggered, this, &Form1::exitProgram);
    connect(OpenMenu, &QAction::triggered, this, &Form1::openSettingsFile);
    connect(SaveMenu, &QAction::triggered, this, &Form1::saveSettingsFile);
    connect(DefaultMenu, &QAction::triggered, this, &Form1::RestoreDefaults);
    connect(Timer1, &QTimer::timeout, this, &Form1::timer1Tick);
    connect(Timer2, &QTimer::timeout, this, &Form1::timer2Tick);
    connect(Timer3, &QTimer::timeout, this, &Form1::timer3Tick);
    connect(Combo1, &PortComboBox::aboutToShowPopup, this, &Form1::refreshPortTooltips);

    // A greyed box (value 2, only ever from a settings file) that the user
    // clicks becomes an ordinary two-state box again.
    for (QCheckBox *box : {FlashCheck, EepromCheck}) {
        connect(box, &QCheckBox::stateChanged, box, [box](int state) {
            if (state != Qt::PartiallyChecked)
                box->setTristate(false);
        });
    }
}

QList<QLineEdit *> Form1::textBoxes() const
{
    return {Text1, Text2, Text3, Text4, Text5, Text6, Text7, Text8, Text9, Text10, Text11, Text12};
}

// ---- The download run and its host --------------------------------------

void Form1::RunDownload(qint16 DownloadMode)
{
    // The busy state already makes a second run impossible; this keeps it so
    // for any other way in.
    if (m_downloadRunning)
        return;
    m_downloadRunning = true;
    {
        const auto unwound = qScopeGuard([this] { m_downloadRunning = false; });
        performDownload(DownloadMode);
    }
    // The window was asked to close while the run was going on: now that the
    // run has ended (port closed, file released) it can.
    if (m_closeAfterRun) {
        m_closeAfterRun = false;
        const bool quit = m_quitAfterClose;
        m_quitAfterClose = false;
        if (close() && quit)
            QCoreApplication::quit();
    }
}

void Form1::performDownload(qint16 DownloadMode)
{
    DownloadRun(*this, *MSComm1, clock()).run(DownloadMode);
}

void Form1::cancelDownload()
{
    m_variables.CancelRequested = -1;
    Command4->setEnabled(false);
}

QString Form1::settingText(SettingRole role)
{
    if (QLineEdit *box = textBoxFor(role))
        return box->text();
    return QString::number(settingNumber(role));
}

int Form1::settingNumber(SettingRole role)
{
    switch (role) {
    case SettingRole::ComPortIndex: return Combo1->currentIndex();
    case SettingRole::BaudRateIndex: return Combo2->currentIndex();
    case SettingRole::EepromCheck: return checkValue(EepromCheck);
    case SettingRole::FlashCheck: return checkValue(FlashCheck);
    default: return 0;
    }
}

QString Form1::caption()
{
    return windowTitle();
}

void Form1::setStatus(const QString &text)
{
    Label2->setText(text);
}

void Form1::showVersion(const QString &text)
{
    Label16->setText(text);
    Label16->show();
    coverStatusLine();
}

void Form1::showLinesRemaining(const QString &text)
{
    Label14->setText(text);
    Label14->show();
    coverStatusLine();
}

void Form1::setLinesRemainingText(const QString &text)
{
    Label14->setText(text);
}

void Form1::coverStatusLine()
{
    // The status line does not draw where a shown count or version lies over
    // it, so that their own background (the frame's) covers it exactly.
    QRegion visible(Label2->rect());
    for (QLabel *over : {Label14, Label16}) {
        if (over->isVisibleTo(Frame5))
            visible -= over->geometry().translated(-Label2->pos());
    }
    Label2->setMask(visible);
}

void Form1::setLinesTimerEnabled(bool enabled)
{
    if (enabled)
        Timer3->start();
    else
        Timer3->stop();
}

void Form1::withdrawEepromChoice()
{
    Text11->setEnabled(false);
    EepromCheck->setCheckState(Qt::Unchecked);
    EepromCheck->setEnabled(false);
    Command7->setEnabled(false);
}

void Form1::focusApplicationBrowse()
{
    Command1->setFocus();
}

void Form1::letEventsRun()
{
    m_eventWait.letEventsRun();
}

void Form1::waitForEvents(int boundMs)
{
    m_eventWait.waitForEvents(boundMs);
}

// ---- Busy and idle ------------------------------------------------------

void Form1::EnterBusyState()
{
    for (QPushButton *button : {Command1, Command2, Command3, Command5, Command6, Command7})
        button->setEnabled(false);
    for (QLineEdit *box : textBoxes())
        box->setEnabled(false);
    Label2->setText(QString());
    m_variables.CancelRequested = 0;
    Command4->setVisible(true);
    Command4->setEnabled(true);
    Command4->raise();
    Command2->setVisible(false);
    Command6->setVisible(false);
    Combo1->setEnabled(false);
    Combo2->setEnabled(false);
    EepromCheck->setEnabled(false);
    FlashCheck->setEnabled(false);
}

void Form1::EnterIdleState()
{
    Label14->setVisible(false);
    coverStatusLine();
    Command2->setVisible(true);
    Command6->setVisible(true);
    Command4->setVisible(false);
    for (QPushButton *button : {Command1, Command2, Command3, Command5, Command6, Command7})
        button->setEnabled(true);
    for (QLineEdit *box : textBoxes())
        box->setEnabled(true);
    Label2->setText(QStringLiteral("Idle"));
    Label14->setText(QString());
    Combo1->setEnabled(true);
    Combo2->setEnabled(true);
    EepromCheck->setEnabled(true);
    FlashCheck->setEnabled(true);
}

// ---- Timers -------------------------------------------------------------

void Form1::timer1Tick()
{
    m_variables.tick();
}

void Form1::timer2Tick()
{
    if (m_about)
        m_about->close();
    Timer2->stop();
}

void Form1::timer3Tick()
{
    Label14->setText(QString::number(m_variables.LinesRemaining));
}

// ---- Keyboard -----------------------------------------------------------

void Form1::keyPressEvent(QKeyEvent *event)
{
    // Keys that no control used arrive here: Enter presses the default
    // button, Esc the cancel button, each only while it can be pressed.
    QPushButton *target = nullptr;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        target = Command2;
        break;
    case Qt::Key_Escape:
        target = Command4;
        break;
    default:
        break;
    }
    // The keypad's Enter comes with the keypad modifier; it is Enter all the same.
    if (target && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (target->isVisibleTo(this) && target->isEnabled())
            target->click();
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

// ---- The about window ---------------------------------------------------

void Form1::showAbout()
{
    // Built for this showing and gone when it closes; modal, without an owner.
    frmSplash about;
    m_about = &about;
    about.exec();
}

frmSplash *Form1::aboutWindow() const
{
    return m_about.data();
}
