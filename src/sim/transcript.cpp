#include "sim/transcript.h"

#include "sim/escaped_text.h"

void Transcript::add(qint64 timeUs, TranscriptEntry::Kind kind, const QByteArray &bytes)
{
    m_entries.append(TranscriptEntry{timeUs, kind, bytes});
}

QByteArray Transcript::toText() const
{
    QByteArray text;
    for (const TranscriptEntry &entry : m_entries) {
        const QByteArray seconds = QByteArray::number(double(entry.timeUs) / 1e6, 'f', 6);
        text += seconds.rightJustified(11, ' ');
        switch (entry.kind) {
        case TranscriptEntry::Kind::Received:
            text += " RX \"" + escapedText(entry.bytes) + "\"\n";
            break;
        case TranscriptEntry::Kind::Sent:
            text += " TX \"" + escapedText(entry.bytes) + "\"\n";
            break;
        case TranscriptEntry::Kind::Note:
            text += " -- " + entry.bytes + "\n";
            break;
        }
    }
    return text;
}
