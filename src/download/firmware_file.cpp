#include "download/firmware_file.h"

#include "platform/failure.h"

#include <QFileInfo>

namespace {
constexpr qint64 ChunkSize = 64 * 1024;
}

void FirmwareFile::open(const QString &path)
{
    close();
    const QFileInfo info(path);
    if (!info.exists())
        throw Failure(QStringLiteral("The file %1 does not exist").arg(path));
    // Only a regular file: a folder cannot be read as lines, and opening a
    // device or a named pipe could block the program.
    if (!info.isFile())
        throw Failure(QStringLiteral("%1 is not a regular file").arg(path));
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot open %1: %2").arg(path, m_file.errorString()));
    m_buffer.clear();
    m_position = 0;
}

void FirmwareFile::close()
{
    if (m_file.isOpen())
        m_file.close();
    m_buffer.clear();
    m_position = 0;
}

void FirmwareFile::fail(const QString &what) const
{
    throw Failure(QStringLiteral("%1: %2").arg(m_file.fileName(), what));
}

// Makes sure that unread bytes are in the buffer; false at the end of the file.
bool FirmwareFile::fill()
{
    if (m_position < m_buffer.size())
        return true;
    if (!m_file.isOpen())
        fail(QStringLiteral("the file is not open"));
    m_buffer.resize(ChunkSize);
    const qint64 got = m_file.read(m_buffer.data(), ChunkSize);
    if (got < 0)
        fail(QStringLiteral("cannot read: %1").arg(m_file.errorString()));
    m_buffer.resize(got);
    m_position = 0;
    return got > 0;
}

bool FirmwareFile::atEnd()
{
    return !fill();
}

QByteArray FirmwareFile::readLine()
{
    QByteArray line;
    while (fill()) {
        const char *begin = m_buffer.constData() + m_position;
        const char *end = m_buffer.constData() + m_buffer.size();
        const char *stop = begin;
        while (stop != end && *stop != '\r' && *stop != '\n')
            ++stop;
        line.append(begin, stop - begin);
        m_position += stop - begin;
        if (line.size() > MaxLineLength)
            fail(QStringLiteral("a line is longer than %1 bytes; this is not a file of records")
                     .arg(MaxLineLength));
        if (stop == end)
            continue;
        const char terminator = *stop;
        ++m_position;
        // A carriage return may be followed by its line feed, even across the
        // end of a chunk.
        if (terminator == '\r' && fill() && m_buffer[m_position] == '\n')
            ++m_position;
        return line;
    }
    return line;
}

void FirmwareFile::rewind()
{
    if (!m_file.isOpen() || !m_file.seek(0))
        fail(QStringLiteral("cannot return to the start of the file"));
    m_buffer.clear();
    m_position = 0;
}
