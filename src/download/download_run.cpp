#include "download/download_run.h"

DownloadRun::DownloadRun(DownloadHost &host, CommPort &port, Clock &clock)
    : m_host(host)
    , m_port(port)
    , m_clock(clock)
{
}

void DownloadRun::run(qint16 downloadMode)
{
    Q_UNUSED(downloadMode);
}
