#include "ui/caption_fit.h"

#include <QRect>

QFont largestFittingFont(QFont font, qreal minPointSize, const std::function<bool(const QFontMetrics &)> &fits)
{
    for (qreal size = font.pointSizeF(); size >= minPointSize; size -= 0.25) {
        font.setPointSizeF(size);
        if (fits(QFontMetrics(font)))
            return font;
    }
    font.setPointSizeF(minPointSize);
    return font;
}

QString shownCaption(const QString &caption)
{
    QString shown;
    shown.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size())
            ++i;
        shown += caption[i];
    }
    return shown;
}

bool fitsInWidth(const QFontMetrics &metrics, const QString &text, int width)
{
    return metrics.horizontalAdvance(text) <= width;
}

bool fitsWrapped(const QFontMetrics &metrics, const QString &text, int width, int height)
{
    const QRect needed = metrics.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, text);
    return needed.width() <= width && needed.height() <= height;
}
