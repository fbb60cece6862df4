#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// A firmware file read as lines, for sending one line at a time. A line ends at
// a carriage return, a carriage return and line feed, or a line feed alone
// (files made on Linux); the terminator is never part of the line. The bytes of
// a line are kept exactly as they stand in the file.
//
// Every failing operation throws Failure naming the file.
class FirmwareFile
{
public:
    // No record of any firmware format comes near this; a longer "line" means
    // the file is not a text file of records (a binary image, a device).
    static constexpr qsizetype MaxLineLength = 64 * 1024;

    FirmwareFile() = default;
    FirmwareFile(const FirmwareFile &) = delete;
    FirmwareFile &operator=(const FirmwareFile &) = delete;

    // Opens a regular file for reading. A missing file, a folder, a device or
    // a file that cannot be read fails.
    void open(const QString &path);
    bool isOpen() const { return m_file.isOpen(); }
    // Closing a file that is not open does nothing.
    void close();

    bool atEnd();
    QByteArray readLine();
    // Back to the first line.
    void rewind();

private:
    bool fill();
    [[noreturn]] void fail(const QString &what) const;

    QFile m_file;
    QByteArray m_buffer;
    qsizetype m_position = 0;
};
