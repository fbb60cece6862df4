#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

// Builds Intel HEX text for tests and the benchmark: data records with correct
// checksums, extended linear or extended segment address records where the
// address needs them, and the end-of-file record, with a choosable line end.
//
//     HexFileBuilder hex;
//     hex.addData(0x0000, firmware);
//     hex.writeFile(dir.filePath("app.hex"), &error);
class HexFileBuilder
{
public:
    enum class LineEnding { CrLf, Lf, None };
    enum class Addressing { ExtendedLinear, ExtendedSegment };

    HexFileBuilder &setLineEnding(LineEnding ending);
    HexFileBuilder &setAddressing(Addressing addressing);
    // Data bytes per record (1 to 255; default 16).
    HexFileBuilder &setRecordSize(int bytes);
    // Whether text() and records() end with the end-of-file record (default yes).
    HexFileBuilder &setEndOfFile(bool endOfFile);

    // Data records for the bytes from address on, split into records of the
    // record size, never across a 64 KiB boundary, each preceded by an
    // address record when its upper address part differs from the last one.
    // With segment addressing the address must lie below 1 MiB.
    HexFileBuilder &addData(quint32 address, const QByteArray &data);
    // Any record as it is (type, 16-bit address field, data).
    HexFileBuilder &addRecord(quint8 type, quint16 address, const QByteArray &data);

    // The records so far without line ends (end-of-file record included when
    // set), then the whole text with the chosen line end after every record.
    QList<QByteArray> records() const;
    QByteArray text() const;
    bool writeFile(const QString &path, QString *error) const;

    // One record's text, e.g. record(0x00, 0x0010, "\x01\x02") gives
    // ":020010000102EB".
    static QByteArray record(quint8 type, quint16 address, const QByteArray &data);
    static QByteArray endOfFileRecord() { return record(0x01, 0, QByteArray()); }
    static QByteArray lineEnd(LineEnding ending);

    // Corruptions of a record text:
    // the checksum off by one;
    static QByteArray withBadChecksum(const QByteArray &record);
    // one data (or address) digit replaced by a character that is no hex digit;
    static QByteArray withBadDigit(const QByteArray &record);
    // cut after the first characters;
    static QByteArray truncated(const QByteArray &record, int characters);
    // one data byte changed but the checksum left as it was.
    static QByteArray withChangedData(const QByteArray &record);

private:
    LineEnding m_ending = LineEnding::CrLf;
    Addressing m_addressing = Addressing::ExtendedLinear;
    int m_recordSize = 16;
    bool m_endOfFile = true;
    bool m_haveUpper = false;
    quint32 m_upper = 0;  // the upper address part last set by an address record
    QList<QByteArray> m_records;
};
