#pragma once

#include "sim/memory_image.h"
#include "sim/sim_options.h"
#include "sim/transcript.h"

#include <QByteArray>
#include <QList>
#include <QString>

enum class TargetState {
    Application,     // the firmware runs; only the jump command matters
    StartingUp,      // the bootloader starts; what arrives is lost
    BootloaderIdle,  // waits for the start-download sequence
    Receiving,       // takes records of a file
    Vanished,        // the device is gone (a fault on request)
};

QString targetStateName(TargetState state);

// Something the target puts on the line at a given time.
struct TargetOutput
{
    enum class Kind { Send, Vanish };
    Kind kind = Kind::Send;
    qint64 dueUs = 0;
    QByteArray bytes;
    // The active character of a reset waits for the host to open the port;
    // everything else sent while no host listens is lost, as on a real line.
    bool keepUntilHostOpens = false;
};

// One file as the target saw it.
struct FileSummary
{
    enum class Memory { Flash, Eeprom };
    Memory memory = Memory::Flash;
    int records = 0;       // every record received, resends included
    int stored = 0;        // data records stored into the memory
    int errorAnswers = 0;  // records answered with checksum or page error
    bool ended = false;    // its end-of-file record was taken
    bool endedWithErrors = false;
};

struct TargetStatus
{
    TargetState state = TargetState::Application;
    bool hostOpen = false;
    int recordsReceived = 0;  // every record since start, resends included
    int recordNumber = 0;     // the number of the latest record of the current download
    int lineCompleteAnswers = 0;
    int checksumErrorAnswers = 0;
    int pageErrorAnswers = 0;
    int unanswered = 0;
    int readyAnswers = 0;
    int activeAnswers = 0;
    int jumps = 0;
    int resets = 0;
    int droppedBytes = 0;    // lost while the bootloader was starting
    int flowViolations = 0;  // bytes that arrived while the target held XOFF
    QList<FileSummary> files;

    int filesEnded() const;
};

// The simulated bootloader's protocol logic, without any I/O: bytes go in
// with the time they arrived, timed outputs come out. Time is in
// microseconds on any steady clock; every call must carry a time no earlier
// than the previous one.
//
// Protocol as the target reads it:
// - Application: waits for the jump command, then starts the bootloader
//   (start-up time, bytes lost meanwhile) and sends the active character.
// - A reset enters the bootloader and sends the active character.
// - Bootloader idle: the start-download sequence, anywhere in what arrives,
//   is answered with the ready character, "V" and the version, in one piece.
//   Records are numbered from there on.
// - Receiving: before the first record of a file, the EEPROM-write
//   character marks it as an EEPROM file, and a "!" after it announces that
//   a flash file follows. A repeated start-download sequence there is
//   answered again. Records are split by their start code and length field;
//   CR, LF and any other bytes between records are ignored. A record that
//   stops arriving is answered as malformed after a short silence.
// - A record that fails to decode (or an injected fault) gets the
//   checksum-error character and is not stored; the host's resend is taken
//   like any record. A record that exceeds the memory gets the page-error
//   character. A record that arrives again with the same text right after an
//   error answer (or no answer) is a resend: it keeps its record number, which
//   the fault options count.
// - The end-of-file record is answered with file-complete-with-errors when
//   any record of the file was answered with the checksum-error or page-error
//   character (even if a resend then went through, as a bootloader with an
//   error flag per file does), otherwise with file-complete-OK. A record that
//   went unanswered by request counts as lost on the wire, not as an error.
//   After an EEPROM file announced with "!"
//   the target keeps receiving, now the flash file; after the last file it is
//   back to bootloader idle, ready for another download.
class SimulatedTarget
{
public:
    SimulatedTarget(const SimOptions &options, qint64 nowUs, Transcript *notes = nullptr);

    void receive(char byte, qint64 timeUs);
    void receive(const QByteArray &bytes, qint64 timeUs);
    // Runs what is due by nowUs (the end of the start-up time, a timed reset,
    // an incomplete record).
    void advance(qint64 nowUs);
    void reset(qint64 nowUs);
    void hostOpened(qint64 nowUs);
    void hostClosed(qint64 nowUs);
    void setFaults(const FaultOptions &faults);

    // The earliest time at which advance() has something to do, -1 if none.
    qint64 nextDeadlineUs() const;
    // Outputs in the order they must go out; due times never decrease.
    QList<TargetOutput> takeOutputs();

    const TargetStatus &status() const { return m_status; }
    const MemoryImage &flash() const { return m_flash; }
    const MemoryImage &eeprom() const { return m_eeprom; }

private:
    void note(qint64 timeUs, const QString &text);
    qint64 send(const QByteArray &bytes, qint64 dueUs, bool keepUntilHostOpens = false);
    qint64 answer(const QByteArray &bytes, qint64 nowUs, qint64 extraUs = 0);
    void enterBootloader(qint64 timeUs, bool keepUntilHostOpens);
    void answerReady(qint64 nowUs);
    void receiveRecordByte(char byte, qint64 timeUs);
    void startFileIfNeeded(qint64 timeUs);
    void handleRecord(const QByteArray &text, qint64 nowUs);
    // Stores a data record; returns false when it does not fit the memory.
    bool storeData(quint16 offset, const QByteArray &data, qint64 *extraUs);
    int pageWritesFor(quint32 address, int length);
    void endFile(qint64 nowUs, qint64 extraUs);
    FileSummary &currentFile() { return m_status.files.last(); }

    SimOptions m_options;
    Transcript *m_notes;
    TargetStatus m_status;
    MemoryImage m_flash;
    MemoryImage m_eeprom;
    QList<TargetOutput> m_outputs;
    qint64 m_lastDueUs = 0;

    QByteArray m_scan;  // recent bytes, searched for the jump command or start sequence
    qint64 m_startupEndUs = -1;
    qint64 m_resetAtUs = -1;

    // Receiving.
    bool m_fileStarted = false;
    bool m_nextIsFlash = false;      // an EEPROM file announced with "!" has ended
    bool m_flashFollows = false;     // the current EEPROM file was announced with "!"
    QByteArray m_between;            // bytes before the first record of a file
    QByteArray m_record;             // the record arriving, from its start code
    int m_recordLength = -1;         // its full text length, once the length field is in
    qint64 m_recordLastByteUs = 0;
    quint32 m_base = 0;              // from the latest extended address record
    bool m_segmentAddressing = false;
    qint64 m_pendingPage = -1;       // the flash page being filled, not yet written
    QByteArray m_lastRecordText;
    bool m_lastAnswerFailed = false; // the previous record was not taken; a resend may follow
    bool m_fileErrors = false;       // an error answer was given in this file

    // Fault bookkeeping, per download.
    int m_checksumHits = 0;
    int m_silentHits = 0;
    bool m_pageErrorDone = false;
    bool m_xoffDone = false;
    qint64 m_xoffFromUs = -1;
    qint64 m_xoffUntilUs = -1;
};
