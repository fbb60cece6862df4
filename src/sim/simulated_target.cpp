#include "sim/simulated_target.h"

#include "sim/escaped_text.h"
#include "sim/hex_record.h"

#include <algorithm>

namespace {

constexpr char Xoff = 0x13;
constexpr char Xon = 0x11;
constexpr qsizetype MaxBetween = 256;

qint64 msToUs(int ms)
{
    return qint64(std::max(ms, 0)) * 1000;
}

// Keeps the tail of a scan buffer that could still begin a match of token.
void trimScan(QByteArray &scan, const QByteArray &token)
{
    const qsizetype keep = std::max<qsizetype>(token.size() - 1, 0);
    if (scan.size() > keep)
        scan.remove(0, scan.size() - keep);
}

} // namespace

QString targetStateName(TargetState state)
{
    switch (state) {
    case TargetState::Application: return QStringLiteral("application");
    case TargetState::StartingUp: return QStringLiteral("starting up");
    case TargetState::BootloaderIdle: return QStringLiteral("bootloader idle");
    case TargetState::Receiving: return QStringLiteral("receiving");
    case TargetState::Vanished: return QStringLiteral("vanished");
    }
    return QString();
}

int TargetStatus::filesEnded() const
{
    return int(std::count_if(files.begin(), files.end(), [](const FileSummary &f) { return f.ended; }));
}

SimulatedTarget::SimulatedTarget(const SimOptions &options, qint64 nowUs, Transcript *notes)
    : m_options(options),
      m_notes(notes),
      m_flash(options.flashSize),
      m_eeprom(options.eepromSize),
      m_lastDueUs(nowUs)
{
    if (m_options.startInBootloader) {
        ++m_status.resets;
        note(nowUs, QStringLiteral("starts in the bootloader"));
        enterBootloader(nowUs, true);
    }
}

void SimulatedTarget::note(qint64 timeUs, const QString &text)
{
    if (m_notes)
        m_notes->add(timeUs, TranscriptEntry::Kind::Note, text.toUtf8());
}

qint64 SimulatedTarget::send(const QByteArray &bytes, qint64 dueUs, bool keepUntilHostOpens)
{
    dueUs = std::max(dueUs, m_lastDueUs);
    m_lastDueUs = dueUs;
    if (!bytes.isEmpty())
        m_outputs.append(TargetOutput{TargetOutput::Kind::Send, dueUs, bytes, keepUntilHostOpens});
    return dueUs;
}

qint64 SimulatedTarget::answer(const QByteArray &bytes, qint64 nowUs, qint64 extraUs)
{
    return send(bytes, nowUs + msToUs(m_options.faults.answerDelayMs) + extraUs);
}

void SimulatedTarget::setFaults(const FaultOptions &faults)
{
    m_options.faults = faults;
}

void SimulatedTarget::hostOpened(qint64 nowUs)
{
    advance(nowUs);
    m_status.hostOpen = true;
    note(nowUs, QStringLiteral("host opened the port"));
    if (m_options.resetAfterOpenMs >= 0)
        m_resetAtUs = nowUs + msToUs(m_options.resetAfterOpenMs);
}

void SimulatedTarget::hostClosed(qint64 nowUs)
{
    advance(nowUs);
    m_status.hostOpen = false;
    m_resetAtUs = -1;
    note(nowUs, QStringLiteral("host closed the port"));
}

void SimulatedTarget::reset(qint64 nowUs)
{
    advance(nowUs);
    if (m_status.state == TargetState::Vanished)
        return;
    ++m_status.resets;
    note(nowUs, QStringLiteral("reset"));
    enterBootloader(nowUs, true);
}

void SimulatedTarget::enterBootloader(qint64 timeUs, bool keepUntilHostOpens)
{
    m_status.state = TargetState::BootloaderIdle;
    m_scan.clear();
    m_record.clear();
    m_startupEndUs = -1;
    ++m_status.activeAnswers;
    note(timeUs, QStringLiteral("bootloader active"));
    send(m_options.chars.activeChar, timeUs, keepUntilHostOpens);
}

void SimulatedTarget::answerReady(qint64 nowUs)
{
    m_status.state = TargetState::Receiving;
    ++m_status.readyAnswers;
    m_status.recordNumber = 0;
    m_checksumHits = 0;
    m_silentHits = 0;
    m_pageErrorDone = false;
    m_xoffDone = false;
    m_fileStarted = false;
    m_nextIsFlash = false;
    m_flashFollows = false;
    m_between.clear();
    m_record.clear();
    m_base = 0;
    m_segmentAddressing = false;
    m_pendingPage = -1;
    m_lastRecordText.clear();
    m_lastAnswerFailed = false;
    m_fileErrors = false;

    QByteArray reply = m_options.chars.readyChar;
    if (m_options.hasVersion)
        reply += 'V' + m_options.version;
    note(nowUs, QStringLiteral("ready"));
    answer(reply, nowUs);
}

qint64 SimulatedTarget::nextDeadlineUs() const
{
    qint64 next = -1;
    auto consider = [&next](qint64 t) {
        if (t >= 0 && (next < 0 || t < next))
            next = t;
    };
    if (m_status.state == TargetState::StartingUp)
        consider(m_startupEndUs);
    consider(m_resetAtUs);
    if (m_status.state == TargetState::Receiving && !m_record.isEmpty())
        consider(m_recordLastByteUs + msToUs(m_options.incompleteRecordMs));
    return next;
}

void SimulatedTarget::advance(qint64 nowUs)
{
    if (m_status.state == TargetState::StartingUp && nowUs >= m_startupEndUs)
        enterBootloader(m_startupEndUs, false);
    if (m_status.state == TargetState::Receiving && !m_record.isEmpty()) {
        const qint64 timeout = m_recordLastByteUs + msToUs(m_options.incompleteRecordMs);
        if (nowUs >= timeout) {
            const QByteArray text = m_record;
            m_record.clear();
            note(timeout, QStringLiteral("record stopped arriving"));
            handleRecord(text, timeout);
        }
    }
    if (m_resetAtUs >= 0 && nowUs >= m_resetAtUs) {
        const qint64 at = m_resetAtUs;
        m_resetAtUs = -1;
        if (m_status.state != TargetState::Vanished) {
            ++m_status.resets;
            note(at, QStringLiteral("timed reset"));
            enterBootloader(at, true);
        }
    }
}

void SimulatedTarget::receive(const QByteArray &bytes, qint64 timeUs)
{
    for (char byte : bytes)
        receive(byte, timeUs);
}

void SimulatedTarget::receive(char byte, qint64 timeUs)
{
    advance(timeUs);
    if (m_xoffFromUs >= 0 && timeUs >= m_xoffFromUs && timeUs < m_xoffUntilUs)
        ++m_status.flowViolations;

    switch (m_status.state) {
    case TargetState::Application: {
        const QByteArray &jump = m_options.chars.jumpCommand;
        m_scan += byte;
        if (!m_scan.endsWith(jump)) {
            trimScan(m_scan, jump);
            return;
        }
        m_scan.clear();
        ++m_status.jumps;
        note(timeUs, QStringLiteral("jump command: the bootloader starts"));
        m_status.state = TargetState::StartingUp;
        m_startupEndUs = timeUs + msToUs(m_options.startupMs);
        if (m_options.startupMs <= 0)
            enterBootloader(timeUs, false);
        return;
    }
    case TargetState::StartingUp:
        ++m_status.droppedBytes;
        return;
    case TargetState::BootloaderIdle: {
        const QByteArray &start = m_options.chars.startSequence;
        m_scan += byte;
        if (!m_scan.endsWith(start)) {
            trimScan(m_scan, start);
            return;
        }
        m_scan.clear();
        answerReady(timeUs);
        return;
    }
    case TargetState::Receiving:
        receiveRecordByte(byte, timeUs);
        return;
    case TargetState::Vanished:
        return;
    }
}

void SimulatedTarget::receiveRecordByte(char byte, qint64 timeUs)
{
    if (!m_record.isEmpty()) {
        if (isHexDigit(byte)) {
            m_record += byte;
            m_recordLastByteUs = timeUs;
            if (m_record.size() == 3)
                m_recordLength = hexRecordTextLength(m_record.mid(1, 2).toInt(nullptr, 16));
            if (m_record.size() == m_recordLength) {
                const QByteArray text = m_record;
                m_record.clear();
                handleRecord(text, timeUs);
            }
            return;
        }
        // Anything else ends the record early: it is malformed. A new start
        // code begins the next record at once.
        QByteArray text = m_record;
        if (byte != ':')
            text += byte;
        m_record.clear();
        handleRecord(text, timeUs);
        if (m_status.state != TargetState::Receiving || byte != ':')
            return;
    }

    if (byte == ':') {
        m_record = ":";
        m_recordLength = -1;
        m_recordLastByteUs = timeUs;
        return;
    }
    if (byte == '\r' || byte == '\n' || m_fileStarted)
        return;

    // Before the first record of a file: the EEPROM announcement, or the host
    // asking again whether the target is ready.
    m_between += byte;
    if (m_between.size() > MaxBetween)
        m_between.remove(0, m_between.size() - MaxBetween);
    const QByteArray &start = m_options.chars.startSequence;
    if (!m_nextIsFlash && !start.isEmpty() && m_between.endsWith(start))
        answerReady(timeUs);
}

void SimulatedTarget::startFileIfNeeded(qint64 timeUs)
{
    if (m_fileStarted)
        return;
    m_fileStarted = true;
    FileSummary file;
    const QByteArray &eepromChar = m_options.chars.eepromWriteChar;
    const qsizetype at = eepromChar.isEmpty() ? -1 : m_between.indexOf(eepromChar);
    if (!m_nextIsFlash && at >= 0) {
        file.memory = FileSummary::Memory::Eeprom;
        m_flashFollows = m_between.mid(at + eepromChar.size()).startsWith('!');
    } else {
        m_flashFollows = false;
    }
    m_nextIsFlash = false;
    m_between.clear();
    m_status.files.append(file);
    note(timeUs, file.memory == FileSummary::Memory::Eeprom
                     ? (m_flashFollows ? QStringLiteral("EEPROM file, then a flash file")
                                       : QStringLiteral("EEPROM file"))
                     : QStringLiteral("flash file"));
}

void SimulatedTarget::handleRecord(const QByteArray &text, qint64 nowUs)
{
    startFileIfNeeded(nowUs);
    const FaultOptions &faults = m_options.faults;
    FileSummary &file = currentFile();

    const bool resend = m_lastAnswerFailed && text == m_lastRecordText;
    if (!resend)
        ++m_status.recordNumber;
    m_lastRecordText = text;
    ++m_status.recordsReceived;
    ++file.records;
    const int number = m_status.recordNumber;
    const QString label = QStringLiteral("record %1").arg(number);

    auto fail = [&](const QByteArray &reply, const QString &why, int &counter) {
        ++counter;
        ++file.errorAnswers;
        m_lastAnswerFailed = true;
        m_fileErrors = true;
        note(nowUs, label + QStringLiteral(": ") + why);
        answer(reply, nowUs);
    };

    bool answered = true;
    if (number == faults.silentRecord && m_silentHits < faults.silentTimes) {
        ++m_silentHits;
        // As if the record was lost on the wire: the target knows of no
        // error, and a resend is taken as usual.
        ++m_status.unanswered;
        m_lastAnswerFailed = true;
        answered = false;
        note(nowUs, label + QStringLiteral(": left unanswered (fault)"));
    } else if (number == faults.checksumErrorRecord && m_checksumHits < faults.checksumErrorTimes) {
        ++m_checksumHits;
        fail(m_options.chars.checksumError, QStringLiteral("checksum error (fault)"),
             m_status.checksumErrorAnswers);
    } else {
        QString problem;
        const std::optional<HexRecord> record = decodeHexRecord(text, &problem);
        if (!record) {
            fail(m_options.chars.checksumError, problem + QStringLiteral(": \"")
                                                    + QString::fromLatin1(escapedText(text)) + '"',
                 m_status.checksumErrorAnswers);
        } else if (record->type == HexRecord::Data && number == faults.pageErrorRecord
                   && !m_pageErrorDone) {
            m_pageErrorDone = true;
            ++m_status.pageErrorAnswers;
            ++file.errorAnswers;
            m_lastAnswerFailed = false;  // a page error is final: the host does not resend
            m_fileErrors = true;
            note(nowUs, label + QStringLiteral(": page write error (fault)"));
            answer(m_options.chars.pageError, nowUs);
        } else {
            m_lastAnswerFailed = false;
            switch (record->type) {
            case HexRecord::Data: {
                qint64 extraUs = 0;
                if (storeData(record->address, record->data, &extraUs)) {
                    ++file.stored;
                    ++m_status.lineCompleteAnswers;
                    answer(m_options.chars.lineComplete, nowUs, extraUs);
                } else {
                    ++m_status.pageErrorAnswers;
                    ++file.errorAnswers;
                    m_fileErrors = true;
                    note(nowUs, label + QStringLiteral(": beyond the end of the memory"));
                    answer(m_options.chars.pageError, nowUs);
                }
                break;
            }
            case HexRecord::EndOfFile: {
                qint64 extraUs = 0;
                if (file.memory == FileSummary::Memory::Flash && m_pendingPage >= 0) {
                    extraUs = msToUs(faults.pageWriteMs);
                    m_pendingPage = -1;
                }
                endFile(nowUs, extraUs);
                break;
            }
            case HexRecord::ExtendedSegmentAddress:
            case HexRecord::ExtendedLinearAddress: {
                const quint32 value = (quint32(quint8(record->data.at(0))) << 8) | quint8(record->data.at(1));
                m_segmentAddressing = record->type == HexRecord::ExtendedSegmentAddress;
                m_base = m_segmentAddressing ? value << 4 : value << 16;
                ++m_status.lineCompleteAnswers;
                answer(m_options.chars.lineComplete, nowUs);
                break;
            }
            default:  // start addresses: nothing to store
                ++m_status.lineCompleteAnswers;
                answer(m_options.chars.lineComplete, nowUs);
                break;
            }
        }
    }

    if (m_status.state == TargetState::Vanished)
        return;
    if (answered && number == faults.xoffRecord && !m_xoffDone) {
        m_xoffDone = true;
        // XOFF leaves in one piece with the answer it follows: the host's
        // driver then stops its output before the host can even read the
        // answer and send its next record, as with a UART that sends both
        // back to back.
        if (!m_outputs.isEmpty() && m_outputs.last().kind == TargetOutput::Kind::Send
            && m_outputs.last().dueUs == m_lastDueUs) {
            m_outputs.last().bytes.append(Xoff);
            m_xoffFromUs = m_lastDueUs;
        } else {
            m_xoffFromUs = send(QByteArray(1, Xoff), m_lastDueUs);
        }
        m_xoffUntilUs = send(QByteArray(1, Xon), m_xoffFromUs + msToUs(faults.xoffHoldMs));
        note(nowUs, label + QStringLiteral(": holding XOFF (fault)"));
    }
    if (number == faults.vanishRecord) {
        m_status.state = TargetState::Vanished;
        m_record.clear();
        m_resetAtUs = -1;
        note(nowUs, label + QStringLiteral(": the device vanishes (fault)"));
        m_outputs.append(TargetOutput{TargetOutput::Kind::Vanish, m_lastDueUs, QByteArray(), false});
    }
}

bool SimulatedTarget::storeData(quint16 offset, const QByteArray &data, qint64 *extraUs)
{
    const bool eeprom = currentFile().memory == FileSummary::Memory::Eeprom;
    MemoryImage &memory = eeprom ? m_eeprom : m_flash;

    // With segment addressing the 16-bit offset wraps within its segment, so
    // a record may continue at the segment's start.
    QList<QPair<quint64, QByteArray>> pieces;
    if (m_segmentAddressing && int(offset) + data.size() > 0x10000) {
        const int first = 0x10000 - offset;
        pieces.append({quint64(m_base) + offset, data.left(first)});
        pieces.append({quint64(m_base), data.mid(first)});
    } else {
        pieces.append({quint64(m_base) + offset, data});
    }
    for (const auto &piece : pieces) {
        if (piece.first + quint64(piece.second.size()) > memory.capacity())
            return false;
    }
    for (const auto &piece : pieces) {
        memory.write(quint32(piece.first), piece.second);
        if (!eeprom && !piece.second.isEmpty())
            *extraUs += pageWritesFor(quint32(piece.first), int(piece.second.size()))
                        * msToUs(m_options.faults.pageWriteMs);
    }
    return true;
}

int SimulatedTarget::pageWritesFor(quint32 address, int length)
{
    const qint64 pageSize = std::max(m_options.faults.pageSize, 1);
    const qint64 first = address / pageSize;
    const qint64 last = (qint64(address) + length - 1) / pageSize;
    int writes = 0;
    if (m_pendingPage >= 0 && m_pendingPage != first)
        ++writes;  // leaving a page that was being filled
    writes += int(last - first);
    if ((qint64(address) + length) % pageSize == 0) {
        ++writes;
        m_pendingPage = -1;
    } else {
        m_pendingPage = last;
    }
    return writes;
}

void SimulatedTarget::endFile(qint64 nowUs, qint64 extraUs)
{
    FileSummary &file = currentFile();
    file.ended = true;
    file.endedWithErrors = m_fileErrors;
    note(nowUs, m_fileErrors ? QStringLiteral("end of file, with errors")
                           : QStringLiteral("end of file, no errors"));
    answer(m_fileErrors ? m_options.chars.fileCompleteErrors : m_options.chars.fileCompleteOk, nowUs,
           extraUs);

    m_base = 0;
    m_segmentAddressing = false;
    m_pendingPage = -1;
    m_lastAnswerFailed = false;
    m_lastRecordText.clear();
    m_fileErrors = false;
    m_fileStarted = false;
    m_between.clear();
    if (file.memory == FileSummary::Memory::Eeprom && m_flashFollows) {
        m_nextIsFlash = true;
        m_flashFollows = false;
        return;
    }
    m_status.state = TargetState::BootloaderIdle;
    m_scan.clear();
}

QList<TargetOutput> SimulatedTarget::takeOutputs()
{
    QList<TargetOutput> out;
    out.swap(m_outputs);
    return out;
}
