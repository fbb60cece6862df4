#include "download/download_run.h"

#include "download/download_host.h"
#include "download/download_texts.h"
#include "download/tokens.h"
#include "platform/clock.h"
#include "platform/comm_port.h"
#include "platform/failure.h"
#include "platform/int16.h"
#include "platform/prompt.h"

namespace T = DownloadTexts;

namespace {

// Clock waits go on while fewer than this many whole seconds separate their
// start from the current reading (2 to 3 s of real time).
constexpr qint64 ClockWaitSeconds = 3;
constexpr int HandshakeTries = 3;
constexpr int LineSends = 3;

// A version is compared with these in single precision, as the bootloader's
// number is held: a reported 1.3 is not below 1.3f, 1.29 is.
constexpr float EepromCapableVersion = 1.3f;
constexpr float LineAnswerVersion = 1.28f;

} // namespace

DownloadRun::DownloadRun(DownloadHost &host, CommPort &port, Clock &clock)
    : m_host(host)
    , m_port(port)
    , m_clock(clock)
{
}

DownloadOutcome DownloadRun::run(qint16 downloadMode)
{
    m_mode = downloadMode;
    m_armed = Armed::PortAccess;
    try {
        try {
            if (!checkChoices())
                return m_outcome = DownloadOutcome::ChoiceIncomplete;
            m_host.enterBusyState();
            if (!setUpPort()) {
                m_outcome = DownloadOutcome::Stopped;
                stopPath(false);
                return m_outcome;
            }
            const Next next = handshake();
            if (next == Next::NoFile)
                noFilePath();
            else if (next != Next::Done)
                sendFiles(next);
        } catch (const Stop &) {
            stopPath(true);
        }
    } catch (const Failure &failure) {
        handleFailure(failure);
    }
    return m_outcome;
}

void DownloadRun::setLinesTimer(bool enabled)
{
    m_host.setLinesTimerEnabled(enabled);
    m_linesTimerOn = enabled;
}

// A file left by Cancel, a No or a failure would leave the once-a-second
// refresh of the lines-remaining count running, writing a stale count into
// the label at rest.
void DownloadRun::stopLinesTimer()
{
    if (m_linesTimerOn)
        setLinesTimer(false);
}

QByteArray DownloadRun::field(SettingRole role)
{
    return tokenBytes(m_host.settingText(role));
}

void DownloadRun::stopIfCancelled()
{
    if (m_host.variables().CancelRequested != 0) {
        m_outcome = DownloadOutcome::Stopped;
        throw Stop{};
    }
}

// Which files are sent, in which order; a ticked file needs a name of at least
// two characters. The names are only measured here: a missing file is found
// when it is opened.
bool DownloadRun::checkChoices()
{
    const bool flash = m_host.settingNumber(SettingRole::FlashCheck) != 0;
    const bool eeprom = m_host.settingNumber(SettingRole::EepromCheck) != 0;
    const auto named = [this](SettingRole role) { return m_host.settingText(role).length() >= 2; };
    DownloadVariables &vars = m_host.variables();

    QString missing;
    m_flashFollows = flash;
    if (!flash && !eeprom) {
        vars.DownloadPlan = 0;
        m_fileChoice = 0;
    } else if (!flash) {
        vars.DownloadPlan = 1;
        m_fileChoice = 2;
        if (!named(SettingRole::EepromFile))
            missing = T::SelectEepromFile;
    } else if (!eeprom) {
        vars.DownloadPlan = 2;
        m_fileChoice = 1;
        if (!named(SettingRole::ApplicationFile))
            missing = T::SelectApplicationFile;
    } else {
        vars.DownloadPlan = 1;
        m_fileChoice = 3;
        if (!named(SettingRole::ApplicationFile))
            missing = T::SelectApplicationFile;
        else if (!named(SettingRole::EepromFile))
            missing = T::SelectEepromFile;
    }
    if (missing.isEmpty())
        return true;
    m_host.prompt().inform(m_host.caption(), missing);
    m_host.focusApplicationBrowse();
    return false;
}

// False when Cancel was found before the port was ready.
bool DownloadRun::setUpPort()
{
    m_host.setStatus(T::InitializingPort);
    m_port.setHandshaking(1);
    const int baudIndex = m_host.settingNumber(SettingRole::BaudRateIndex);
    // An index outside the list writes nothing: the port keeps the settings of
    // the previous run.
    if (baudIndex >= 0 && baudIndex < BaudRateCount)
        m_port.setSettings(QStringLiteral("%1,n,8,1").arg(baudRateEntry(baudIndex)));
    if (m_host.variables().CancelRequested != 0)
        return false;
    m_port.setCommPort(add16(checkedInt16(m_host.settingNumber(SettingRole::ComPortIndex)), 1));
    m_port.setPortOpen(true);
    if (m_host.variables().CancelRequested != 0)
        return false;
    m_armed = Armed::FirmwareFile;
    return true;
}

DownloadRun::Next DownloadRun::handshake()
{
    m_host.showVersion(T::VersionLabel);
    m_handshakeTry = 0;
    m_reply.clear();
    if (m_mode == 0)
        requestInJumpMode();
    else
        requestInWaitMode();
    return checkReply();
}

// The application is told to jump into its bootloader and the bootloader is
// asked whether it is ready, in one string. Once the application has answered
// that its bootloader is active, the requests go on until the bootloader is
// ready or the user cancels.
void DownloadRun::requestInJumpMode()
{
    while (!containsToken(m_reply, field(SettingRole::BootloaderReadyChar)) && m_handshakeTry < HandshakeTries) {
        stopIfCancelled();
        m_host.setStatus(T::RequestingAck + QString::number(add16(m_handshakeTry, 1)));
        m_reply += m_port.input();
        m_port.output(field(SettingRole::JumpToBootloaderCommand) + field(SettingRole::StartDownloadSequence));
        awaitHandshakeAnswer();
        if (containsToken(m_reply, field(SettingRole::BootloaderActiveChar))) {
            m_handshakeTry = 0;
            m_host.setStatus(T::MainCodeResponded);
        }
        m_handshakeTry = add16(m_handshakeTry, 1);
        m_host.letEventsRun();
    }
}

// The user resets the target; its bootloader announces itself, then it is
// asked up to three times whether it is ready.
void DownloadRun::requestInWaitMode()
{
    // Whatever arrived before this moment is not an answer.
    m_reply = m_port.input();
    m_reply.clear();
    m_host.setStatus(T::WaitingForActive);
    while (!containsToken(m_reply, field(SettingRole::BootloaderActiveChar))) {
        while (m_port.inBufferCount() <= 0) {
            stopIfCancelled();
            m_host.waitForEvents(WaitBoundMs);
        }
        m_reply += m_port.input();
    }
    m_handshakeTry = 0;
    m_reply.clear();
    while (!containsToken(m_reply, field(SettingRole::BootloaderReadyChar)) && m_handshakeTry < HandshakeTries) {
        stopIfCancelled();
        m_host.setStatus(T::RequestingReady + QString::number(add16(m_handshakeTry, 1)));
        m_reply += m_port.input();
        m_port.output(field(SettingRole::StartDownloadSequence));
        awaitHandshakeAnswer();
        m_handshakeTry = add16(m_handshakeTry, 1);
        m_host.letEventsRun();
    }
}

// Ends as soon as any character has arrived, or after 2 to 3 s without one.
void DownloadRun::awaitHandshakeAnswer()
{
    const qint64 start = m_clock.nowSeconds();
    while (m_clock.nowSeconds() - start < ClockWaitSeconds && m_port.inBufferCount() <= 0) {
        stopIfCancelled();
        m_host.waitForEvents(WaitBoundMs);
    }
    if (m_port.inBufferCount() > 0)
        m_reply += m_port.input();
}

DownloadRun::Next DownloadRun::checkReply()
{
    if (!containsToken(m_reply, field(SettingRole::BootloaderReadyChar))) {
        m_host.prompt().inform(m_host.caption(), T::NoBootloaderResponse);
        m_outcome = DownloadOutcome::NoBootloaderResponse;
        throw Stop{};
    }
    const qsizetype marker = m_reply.indexOf('V');
    if (marker >= 0) {
        m_reply = m_reply.mid(marker + 1);
        m_version = readVersionNumber(m_reply);
    } else {
        m_version = 0.0f;
    }

    const qint16 plan = m_host.variables().DownloadPlan;
    if (m_version < EepromCapableVersion) {
        // A grey "EEPROM Code" box counts as ticked here as it does in the
        // choice check: the user asked for an EEPROM download, and sending the
        // application file alone instead would not be what was asked.
        if (m_host.settingNumber(SettingRole::EepromCheck) != 0) {
            m_host.withdrawEepromChoice();
            m_host.prompt().inform(m_host.caption(), T::EepromNotSupported);
            m_port.setPortOpen(false);
            m_host.enterIdleState();
            m_outcome = DownloadOutcome::EepromRefused;
            return Next::Done;
        }
        if (plan == 0)
            return Next::NoFile;
        return Next::ApplicationFile;
    }
    m_host.showVersion(T::VersionLabel + formatVersionNumber(m_version));
    if (plan == 0)
        return Next::NoFile;
    if (plan == 2)
        return Next::ApplicationFile;
    return Next::EepromFile;
}

void DownloadRun::sendFiles(Next first)
{
    if (first == Next::EepromFile)
        startEepromFile();
    else
        startApplicationFile();
    for (;;) {
        countLines();
        sendLines();
        if (!endOfFile())
            break;
        // The EEPROM file has ended and the application file follows on the
        // same port, without a second handshake.
        m_file.close();
        startApplicationFile();
    }
}

void DownloadRun::startEepromFile()
{
    m_armed = Armed::Opening;
    const QString name = m_host.settingText(SettingRole::EepromFile);
    m_host.setStatus(T::OpeningFile + name + u'.');
    m_file.open(name);
    m_armed = Armed::FirmwareFile;
    // "!" tells the bootloader that the application file follows the EEPROM
    // file. Its answer, if any, is taken with the first line's.
    m_port.output(field(SettingRole::EepromWriteChar) + (m_flashFollows ? QByteArray("!") : QByteArray()));
}

void DownloadRun::startApplicationFile()
{
    m_flashFollows = false;
    m_host.variables().DownloadPlan = 2;
    m_armed = Armed::Opening;
    const QString name = m_host.settingText(SettingRole::ApplicationFile);
    m_host.setStatus(T::OpeningFile + name + u'.');
    m_file.open(name);
    m_armed = Armed::FirmwareFile;
}

// The count is one less than the number of lines read: the countdown ends at
// -1 after the last line of a file whose last line is not empty.
void DownloadRun::countLines()
{
    DownloadVariables &vars = m_host.variables();
    vars.LinesRemaining = 0;
    while (!m_file.atEnd()) {
        m_file.readLine();
        vars.LinesRemaining = add16(vars.LinesRemaining, 1);
    }
    vars.LinesRemaining = sub16(vars.LinesRemaining, 1);
    vars.LinesTotal = vars.LinesRemaining;
    m_file.rewind();

    m_host.setStatus(vars.DownloadPlan == 1 ? T::SendingEeprom : T::SendingFlash);
    m_host.showLinesRemaining(QString::number(vars.LinesRemaining));
    setLinesTimer(true);

    // Changes to the fields while this file is sent do not affect it.
    m_tokens.checksumError = field(SettingRole::ChecksumErrorChar);
    m_tokens.fileCompleteOk = field(SettingRole::FileCompleteOkChar);
    m_tokens.fileCompleteErrors = field(SettingRole::FileCompleteErrorsChar);
    m_tokens.pageError = field(SettingRole::PageErrorChar);
    m_tokens.lineComplete = field(SettingRole::LineCompleteChar);
}

void DownloadRun::sendLines()
{
    DownloadVariables &vars = m_host.variables();
    for (;;) {
        // The end of the file comes before Cancel: a Cancel pressed during the
        // last line's answer still leads to the end-of-file exchange.
        if (m_file.atEnd())
            return;
        stopIfCancelled();
        const QByteArray line = m_file.readLine();
        if (line.isEmpty()) {
            m_host.letEventsRun();
            continue;
        }
        sendLine(line);
        if (!judgeLine()) {
            m_outcome = DownloadOutcome::Stopped;
            throw Stop{};
        }
        vars.LinesRemaining = sub16(vars.LinesRemaining, 1);
        m_host.letEventsRun();
    }
}

// Sends a line up to three times: again after a checksum error or no answer,
// when the bootloader is new enough to answer every line.
void DownloadRun::sendLine(const QByteArray &line)
{
    m_tryCount = 0;
    while (m_tryCount < LineSends) {
        m_port.output(line);
        m_reply = m_port.input();
        if (m_version >= LineAnswerVersion)
            awaitLineAnswerByClock();
        else
            awaitLineAnswerByTicks();

        if (containsToken(m_reply, m_tokens.pageError)
            || m_version < LineAnswerVersion
            || containsToken(m_reply, m_tokens.lineComplete)
            || containsToken(m_reply, m_tokens.fileCompleteErrors)
            || containsToken(m_reply, m_tokens.fileCompleteOk))
            m_tryCount = LineSends;
        else
            m_tryCount = add16(m_tryCount, 1);
    }
}

bool DownloadRun::lineAnswerSeen() const
{
    return containsToken(m_reply, m_tokens.pageError) || containsToken(m_reply, m_tokens.lineComplete)
        || containsToken(m_reply, m_tokens.fileCompleteErrors) || containsToken(m_reply, m_tokens.fileCompleteOk)
        || containsToken(m_reply, m_tokens.checksumError);
}

bool DownloadRun::clockWaitGoesOn(qint64 start)
{
    return m_clock.nowSeconds() - start < ClockWaitSeconds;
}

void DownloadRun::awaitLineAnswerByClock()
{
    const qint64 start = m_clock.nowSeconds();
    while (clockWaitGoesOn(start) && !lineAnswerSeen() && m_host.variables().CancelRequested == 0) {
        m_reply += m_port.input();
        // Block for the next byte or event only while the answer is still
        // missing; an answer that has just come is acted on at once.
        if (lineAnswerSeen())
            m_host.letEventsRun();
        else
            m_host.waitForEvents(WaitBoundMs);
    }
}

// For bootloaders older than 1.28, which do not answer every line: a short
// wait of five ticks of the window's timer.
void DownloadRun::awaitLineAnswerByTicks()
{
    DownloadVariables &vars = m_host.variables();
    vars.TickCount = 0;
    while (!lineAnswerSeen() && vars.CancelRequested == 0 && vars.TickCount < DownloadVariables::TickLimit) {
        m_reply += m_port.input();
        if (lineAnswerSeen())
            m_host.letEventsRun();
        else
            m_host.waitForEvents(WaitBoundMs);
    }
}

// Asks the user about an error or a missing answer. False when the user
// answered No.
bool DownloadRun::judgeLine()
{
    QString question;
    if (containsToken(m_reply, m_tokens.checksumError))
        question = T::ChecksumErrorAt;
    else if (containsToken(m_reply, m_tokens.pageError))
        question = T::PageErrorAt;
    else if (m_version >= LineAnswerVersion && !containsToken(m_reply, m_tokens.lineComplete)
             && !containsToken(m_reply, m_tokens.fileCompleteErrors)
             && !containsToken(m_reply, m_tokens.fileCompleteOk))
        question = T::NoResponseAfter;
    if (question.isEmpty())
        return true;

    const DownloadVariables &vars = m_host.variables();
    const qint16 lineNumber = add16(sub16(vars.LinesTotal, vars.LinesRemaining), 1);
    if (!m_host.prompt().ask(m_host.caption(), question + QString::number(lineNumber) + T::ContinueQuestion))
        return false;
    m_reply.clear();
    return true;
}

// The end answer of a file. True when the application file follows; false
// when the run has ended.
bool DownloadRun::endOfFile()
{
    m_host.setLinesRemainingText(QStringLiteral("0"));
    setLinesTimer(false);

    // No window events run here: the user's Cancel waits until it is over.
    // Only an answer with errors ends it early.
    const qint64 start = m_clock.nowSeconds();
    while (clockWaitGoesOn(start) && !containsToken(m_reply, m_tokens.fileCompleteErrors)) {
        m_reply += m_port.input();
        if (!containsToken(m_reply, m_tokens.fileCompleteErrors))
            m_port.waitForInput(WaitBoundMs);
    }

    if (m_flashFollows)
        return true;

    QString message;
    if (containsToken(m_reply, m_tokens.fileCompleteOk)) {
        message = m_fileChoice == 1 ? T::FlashSuccess : m_fileChoice == 2 ? T::EepromSuccess : T::BothSuccess;
        m_outcome = DownloadOutcome::Success;
    } else if (containsToken(m_reply, m_tokens.fileCompleteErrors)) {
        message = T::FileErrors;
        m_outcome = DownloadOutcome::FileCompleteWithErrors;
    } else {
        message = T::NoAnswerAtEnd;
        m_outcome = DownloadOutcome::NoAnswerAtEnd;
    }
    // Shown while the file and port are still open; they close once the user
    // has read it.
    m_host.prompt().inform(m_host.caption(), message);
    stopPath(true);
    return false;
}

// Neither box ticked: the handshake has shown the user that the target
// answers; now say what is missing. Nothing from here on fails the run.
void DownloadRun::noFilePath()
{
    m_outcome = DownloadOutcome::NoFileChosen;
    closePortIfOpen();
    try {
        m_host.enterIdleState();
    } catch (const Failure &) {
    }
    try {
        m_host.prompt().inform(m_host.caption(), T::CheckBox);
    } catch (const Failure &) {
    }
    try {
        m_host.focusApplicationBrowse();
    } catch (const Failure &) {
    }
}

// The common way out: file closed, port closed, window at rest, no message.
// Entered without a file when Cancel was found during the port set-up.
void DownloadRun::stopPath(bool fileMayBeOpen)
{
    stopLinesTimer();
    if (fileMayBeOpen) {
        m_file.close();
        m_armed = Armed::Closing;
    }
    closePortIfOpen();
    m_host.enterIdleState();
}

void DownloadRun::closePortIfOpen()
{
    // Closing a closed port does nothing, and closing never fails the run.
    m_port.setPortOpen(false);
}

void DownloadRun::handleFailure(const Failure &failure)
{
    m_failureReason = failure.reason();
    Prompt &prompt = m_host.prompt();
    const QString title = m_host.caption();
    // A failure inside a handler must not escape the run: the window still
    // ends at rest.
    const auto idle = [this] {
        try {
            stopLinesTimer();
            m_host.enterIdleState();
        } catch (const Failure &) {
        }
    };
    switch (m_armed) {
    case Armed::PortAccess:
        m_outcome = DownloadOutcome::PortAccessFailed;
        prompt.warn(title, T::PortAccessError);
        break;
    case Armed::FirmwareFile:
        m_outcome = DownloadOutcome::FirmwareFileFailed;
        prompt.warn(title, T::FirmwareFileError);
        m_file.close();
        closePortIfOpen();
        break;
    case Armed::Opening: {
        m_outcome = DownloadOutcome::OpeningFailed;
        closePortIfOpen();
        m_file.close();
        const SettingRole name = m_host.variables().DownloadPlan == 2 ? SettingRole::ApplicationFile
                                                                       : SettingRole::EepromFile;
        prompt.warn(title, T::ErrorOpening + m_host.settingText(name) + u'.');
        break;
    }
    case Armed::Closing:
        m_outcome = DownloadOutcome::ClosingFailed;
        prompt.warn(title, T::ClosingError);
        break;
    }
    idle();
}
