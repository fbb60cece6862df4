#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <functional>

// The windows keep the positions and sizes they were designed with, in a
// small 8-point font that this platform does not have. These helpers pick a
// font size at which every text still shows in full in its fixed box.

// The largest size, from the font's own point size down to minPointSize in
// steps of a quarter point, at which fits() holds; minPointSize if none does.
QFont largestFittingFont(QFont font, qreal minPointSize, const std::function<bool(const QFontMetrics &)> &fits);

// A caption as it is drawn: the "&" that marks the access key is not shown,
// "&&" shows one "&".
QString shownCaption(const QString &caption);

// True when text, drawn in one line, is no wider than width.
bool fitsInWidth(const QFontMetrics &metrics, const QString &text, int width);

// True when text, wrapped at word boundaries to width, is no taller than height.
bool fitsWrapped(const QFontMetrics &metrics, const QString &text, int width, int height);
