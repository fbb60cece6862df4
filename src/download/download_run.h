#pragma once

#include "app/settings.h"
#include "platform/line_file.h"

#include <QByteArray>
#include <QString>

class Clock;
class CommPort;
class DownloadHost;
class Failure;

// How a run ended; the window shows a message for most of these, the
// command-line front end turns them into exit codes.
enum class DownloadOutcome {
    ChoiceIncomplete,       // a ticked file without a name; nothing was touched
    Success,                // the bootloader reported the last file complete without errors
    FileCompleteWithErrors, // ... complete with errors
    NoAnswerAtEnd,          // no end answer after the last file
    NoBootloaderResponse,   // the handshake got no ready answer
    EepromRefused,          // an EEPROM download to a bootloader older than 1.3
    NoFileChosen,           // neither box ticked: handshake only
    Stopped,                // Cancel, or No to a question
    PortAccessFailed,       // the port could not be set up or opened
    FirmwareFileFailed,     // a failure during the handshake, a transfer or an end of file
    OpeningFailed,          // a firmware file could not be opened
    ClosingFailed,          // the window could not be put back to rest
};

// One download from the user's command to its end: the choice check, the port
// set-up, the bootloader handshake, the files line by line, the end of each
// file, and every way out with the file and port closed and the host idle.
class DownloadRun
{
public:
    // Waits block for at most this long before they test their conditions
    // again; port data and window events end the block at once.
    static constexpr int WaitBoundMs = 20;

    DownloadRun(DownloadHost &host, CommPort &port, Clock &clock);

    // DownloadMode 0: command the application to jump into its bootloader;
    // any other value: wait for the user to reset the target.
    DownloadOutcome run(qint16 downloadMode);

    // The reason of the failure that ended the run, if one did.
    QString failureReason() const { return m_failureReason; }

private:
    // Which failure handler takes a failure at this moment of the run.
    enum class Armed { PortAccess, FirmwareFile, Opening, Closing };
    // Where the run goes after the handshake.
    enum class Next { Done, NoFile, EepromFile, ApplicationFile };
    // Thrown to leave the run through the stop path without a message.
    struct Stop
    {
    };

    bool checkChoices();
    bool setUpPort();
    Next handshake();
    void requestInJumpMode();
    void requestInWaitMode();
    void awaitHandshakeAnswer();
    Next checkReply();
    void sendFiles(Next first);
    void startEepromFile();
    void startApplicationFile();
    void countLines();
    void sendLines();
    void sendLine(const QByteArray &line);
    void awaitLineAnswerByClock();
    void awaitLineAnswerByTicks();
    bool judgeLine();
    bool endOfFile();
    void noFilePath();
    void stopPath(bool fileMayBeOpen);
    void closePortIfOpen();
    void handleFailure(const Failure &failure);
    void stopIfCancelled();
    void setLinesTimer(bool enabled);
    void stopLinesTimer();

    // A protocol field's bytes, read from the host at the moment of use.
    QByteArray field(SettingRole role);
    bool lineAnswerSeen() const;
    bool clockWaitGoesOn(qint64 start);

    DownloadHost &m_host;
    CommPort &m_port;
    Clock &m_clock;

    qint16 m_mode = 0;
    Armed m_armed = Armed::PortAccess;
    DownloadOutcome m_outcome = DownloadOutcome::Stopped;
    QString m_failureReason;

    // The run's locals, shared by its phases.
    bool m_flashFollows = false;
    qint16 m_fileChoice = 0;
    QByteArray m_reply;
    float m_version = 0.0f;
    qint16 m_handshakeTry = 0;
    qint16 m_tryCount = 0;
    LineFile m_file; // the firmware file being sent
    bool m_linesTimerOn = false;

    // The answer tokens, copied once per file when its lines start.
    struct LineTokens
    {
        QByteArray checksumError, fileCompleteOk, fileCompleteErrors, pageError, lineComplete;
    } m_tokens;
};
