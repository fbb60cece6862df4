#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// A text file read as lines: firmware files and settings files alike. A line
// ends at a carriage return, a carriage return and line feed, or a line feed
// alone (files made on Linux); the terminator is never part of the line. The
// bytes of a line are kept exactly as they stand in the file. The file is read
// in chunks as lines are asked for, so only the start of a large file is read
// when only its first lines are wanted.
//
// Every failing operation throws Failure whose reason names the file.
class LineFile
{
public:
    // No record of any firmware format and no settings line comes near this;
    // a longer "line" means the file is not a text file (a binary image).
    static constexpr qsizetype MaxLineLength = 64 * 1024;
    static constexpr qint64 ChunkSize = 16 * 1024;

    LineFile() = default;
    LineFile(const LineFile &) = delete;
    LineFile &operator=(const LineFile &) = delete;

    // Opens a regular file for reading. A missing file, a folder, a device or
    // a pipe (either could block the program) and a file that cannot be read
    // fail.
    void open(const QString &path);
    bool isOpen() const { return m_file.isOpen(); }
    // Closing a file that is not open does nothing.
    void close();

    bool atEnd();
    QByteArray readLine();
    // Back to the first line.
    void rewind();
    // How many lines have been read since the file was opened or rewound.
    int lineNumber() const { return m_lineNumber; }

private:
    bool fill();
    [[noreturn]] void fail(const QString &what) const;

    QFile m_file;
    QByteArray m_buffer;
    qsizetype m_position = 0;
    int m_lineNumber = 0;
};
