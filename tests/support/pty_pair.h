#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal standing in for a serial device: the program under test
// opens the slave by its path, the test plays the other end of the wire on
// the master. Closing the master makes the device vanish under the program,
// as an unplugged adapter does.
class PtyPair
{
public:
    // Opens a master in raw mode; isOpen() tells whether that worked.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isOpen() const { return m_master >= 0; }
    // Why opening failed, for QVERIFY2.
    QString errorString() const { return m_error; }

    // The device path to open, such as /dev/pts/7.
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    // Writes all bytes to the wire; false when the master is closed or
    // writing fails.
    bool write(const QByteArray &bytes);
    // Reads what arrives until count bytes are in or timeoutMs passes.
    QByteArray read(int count, int timeoutMs);
    // Reads everything that arrives within timeoutMs.
    QByteArray readFor(int timeoutMs);

    // The line settings of the slave as the terminal holds them, spelt like a
    // settings string ("19200,n,8,1"); empty when they cannot be read. The
    // kernel keeps the rate and the stop bits of a pseudo-terminal as written
    // but forces 8 data bits without parity.
    QString slaveSettings() const;
    // The terminal's input flags of the slave (termios c_iflag); 0 when they
    // cannot be read.
    unsigned slaveInputFlags() const;

    // The device vanishes.
    void closeMaster();

private:
    int m_master = -1;
    QString m_slavePath;
    QString m_error;
};
