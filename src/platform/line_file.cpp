#include "platform/line_file.h"

#include "platform/failure.h"

#include <QFileInfo>

void LineFile::open(const QString &path)
{
    close();
    if (path.isEmpty())
        throw Failure(QStringLiteral("no file name given"));
    const QFileInfo info(path);
    if (!info.exists())
        throw Failure(QStringLiteral("%1: the file does not exist").arg(path));
    if (info.isDir())
        throw Failure(QStringLiteral("%1: it is a folder").arg(path));
    if (!info.isFile())
        throw Failure(QStringLiteral("%1: it is not a regular file").arg(path));
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("%1: cannot open: %2").arg(path, m_file.errorString()));
    m_buffer.clear();
    m_position = 0;
    m_lineNumber = 0;
}

void LineFile::close()
{
    if (m_file.isOpen())
        m_file.close();
    m_buffer.clear();
    m_position = 0;
    m_lineNumber = 0;
}

void LineFile::fail(const QString &what) const
{
    throw Failure(QStringLiteral("%1: %2").arg(m_file.fileName(), what));
}

// Makes sure that unread bytes are in the buffer; false at the end of the file.
bool LineFile::fill()
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

bool LineFile::atEnd()
{
    return !fill();
}

QByteArray LineFile::readLine()
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
            fail(QStringLiteral("line %1 is longer than %2 bytes; this is not a text file")
                     .arg(m_lineNumber + 1)
                     .arg(MaxLineLength));
        if (stop == end)
            continue;
        const char terminator = *stop;
        ++m_position;
        // A carriage return may be followed by its line feed, even across the
        // end of a chunk.
        if (terminator == '\r' && fill() && m_buffer[m_position] == '\n')
            ++m_position;
        break;
    }
    ++m_lineNumber;
    return line;
}

void LineFile::rewind()
{
    if (!m_file.isOpen() || !m_file.seek(0))
        fail(QStringLiteral("cannot return to the start of the file"));
    m_buffer.clear();
    m_position = 0;
    m_lineNumber = 0;
}
