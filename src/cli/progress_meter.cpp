#include "cli/progress_meter.h"

#include <algorithm>

namespace {

constexpr int BarWidth = 20;
constexpr qint64 PlainLineEveryMs = 10000;

int percentOf(const ProgressFigures &figures)
{
    if (figures.total <= 0)
        return 100;
    return int(qint64(figures.done) * 100 / figures.total);
}

// "m:ss", or "h:mm:ss" from an hour on.
QString clockText(qint64 seconds)
{
    const auto twoDigits = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    if (seconds < 3600)
        return QString::number(seconds / 60) + u':' + twoDigits(seconds % 60);
    return QString::number(seconds / 3600) + u':' + twoDigits(seconds / 60 % 60) + u':' + twoDigits(seconds % 60);
}

} // namespace

ProgressFigures progressFromCountdown(int linesTotal, int linesRemaining, qint64 elapsedMs)
{
    ProgressFigures figures;
    figures.total = std::max(linesTotal + 1, 0);
    figures.done = std::clamp(linesTotal - linesRemaining, 0, figures.total);
    figures.elapsedMs = std::max<qint64>(elapsedMs, 0);
    return figures;
}

QString formatProgress(const QString &what, const ProgressFigures &figures)
{
    const int percent = percentOf(figures);
    const int filled = percent * BarWidth / 100;
    const QString bar = QString(filled, QLatin1Char('#')) + QString(BarWidth - filled, QLatin1Char('-'));
    const int remaining = figures.total - figures.done;

    QString rate = QStringLiteral("-- lines/s");
    QString left = QStringLiteral("--:-- left");
    if (figures.done > 0 && figures.elapsedMs > 0) {
        const double perSecond = figures.done * 1000.0 / double(figures.elapsedMs);
        rate = QStringLiteral("%1 lines/s").arg(perSecond, 0, 'f', 1);
        left = clockText(qint64(remaining / perSecond + 0.5)) + QStringLiteral(" left");
    } else if (remaining == 0) {
        left = QStringLiteral("0:00 left");
    }
    return QStringLiteral("%1 [%2] %3/%4 lines, %5 remaining, %6%, %7, %8")
        .arg(what, bar, QString::number(figures.done), QString::number(figures.total), QString::number(remaining),
             QString::number(percent), rate, left);
}

bool PlainProgressSchedule::due(const ProgressFigures &figures, bool final)
{
    const int tenth = percentOf(figures) / 10;
    if (final || !m_started || tenth > m_lastTenth || figures.elapsedMs - m_lastMs >= PlainLineEveryMs) {
        m_started = true;
        m_lastTenth = tenth;
        m_lastMs = figures.elapsedMs;
        return true;
    }
    return false;
}
