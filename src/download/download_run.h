#pragma once

#include <QtGlobal>

class Clock;
class CommPort;
class DownloadHost;

// One download from the user's command to its end: the choice check, the port
// set-up, the bootloader handshake, the files line by line, the end of each
// file, and every way out with the port closed and the host idle again.
class DownloadRun
{
public:
    DownloadRun(DownloadHost &host, CommPort &port, Clock &clock);

    // DownloadMode 0: command the application to jump into its bootloader;
    // any other value: wait for the user to reset the target.
    void run(qint16 downloadMode);

private:
    DownloadHost &m_host;
    CommPort &m_port;
    Clock &m_clock;
};
