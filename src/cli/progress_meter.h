#pragma once

#include <QString>
#include <QtGlobal>

// The figures of one file being sent.
struct ProgressFigures
{
    int total = 0;        // lines to send
    int done = 0;         // lines sent
    qint64 elapsedMs = 0; // since the first line went out
};

// Turns the download's lines-remaining countdown into figures. The countdown
// starts one below the number of lines and ends at -1 after the last line (at
// 0 when the file ends with an empty line), so the lines to send are one more
// than the count the download starts with.
ProgressFigures progressFromCountdown(int linesTotal, int linesRemaining, qint64 elapsedMs);

// One line: what is sent, a bar, lines done and remaining, percent, line rate
// and time left, for example
// "FLASH  [#####---------------]  16/64 lines, 48 remaining, 25%, 32.0 lines/s, 0:02 left".
QString formatProgress(const QString &what, const ProgressFigures &figures);

// When standard error is not a terminal the bar is printed as occasional
// plain lines: at the start, whenever another tenth of the file is done or
// ten seconds have passed, and at the end.
class PlainProgressSchedule
{
public:
    // True when a line is due now; remembers that it was printed.
    bool due(const ProgressFigures &figures, bool final);

private:
    bool m_started = false;
    int m_lastTenth = 0;
    qint64 m_lastMs = 0;
};
