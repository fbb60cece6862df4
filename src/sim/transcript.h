#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

// Every byte the simulated target received and sent, with the time it was
// read from or written to the line, plus notes on what the target did.
struct TranscriptEntry
{
    enum class Kind { Received, Sent, Note };
    qint64 timeUs = 0;  // since the simulator started
    Kind kind = Kind::Note;
    QByteArray bytes;   // the bytes, or the note's text
};

class Transcript
{
public:
    void add(qint64 timeUs, TranscriptEntry::Kind kind, const QByteArray &bytes);
    const QList<TranscriptEntry> &entries() const { return m_entries; }

    // One line per entry: seconds with microseconds, "RX", "TX" or "--", and
    // the bytes in quotes with escapes, e.g.   0.051234 TX "^"
    QByteArray toText() const;

private:
    QList<TranscriptEntry> m_entries;
};
