#include "download/tokens.h"

#include "platform/failure.h"

#include <QLocale>
#include <cmath>
#include <limits>

bool containsToken(const QByteArray &reply, const QByteArray &token)
{
    if (token.isEmpty())
        return !reply.isEmpty();
    return reply.contains(token);
}

QByteArray tokenBytes(const QString &fieldText)
{
    return fieldText.toLocal8Bit();
}

namespace {

bool isSkipped(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Gathers the number at the start of text into a clean C-locale form such as
// "-1.25e3", skipping blanks, tabs and line feeds wherever they stand.
QByteArray numberText(const QByteArray &text)
{
    QByteArray kept;
    for (char c : text) {
        if (!isSkipped(c))
            kept.append(c);
    }

    QByteArray number;
    qsizetype i = 0;
    if (i < kept.size() && (kept[i] == '+' || kept[i] == '-'))
        number.append(kept[i++]);
    bool digits = false;
    while (i < kept.size() && isDigit(kept[i])) {
        number.append(kept[i++]);
        digits = true;
    }
    if (i < kept.size() && kept[i] == '.') {
        number.append(kept[i++]);
        while (i < kept.size() && isDigit(kept[i])) {
            number.append(kept[i++]);
            digits = true;
        }
    }
    if (!digits)
        return {};
    // An exponent counts only when digits follow it: "1.3E" followed by text
    // is still 1.3.
    if (i < kept.size() && (kept[i] == 'E' || kept[i] == 'e' || kept[i] == 'D' || kept[i] == 'd')) {
        qsizetype j = i + 1;
        QByteArray exponent = "e";
        if (j < kept.size() && (kept[j] == '+' || kept[j] == '-'))
            exponent.append(kept[j++]);
        if (j < kept.size() && isDigit(kept[j])) {
            while (j < kept.size() && isDigit(kept[j]))
                exponent.append(kept[j++]);
            number.append(exponent);
        }
    }
    return number;
}

} // namespace

float readVersionNumber(const QByteArray &text)
{
    const QByteArray number = numberText(text);
    if (number.isEmpty())
        return 0.0f;
    // QByteArray::toDouble reads the C locale's form whatever setlocale says.
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > double(std::numeric_limits<float>::max()))
        throw Failure(QStringLiteral("The bootloader's version number %1 is out of range")
                          .arg(QString::fromLatin1(number)));
    return float(value);
}

QString formatVersionNumber(float version, const QLocale &locale)
{
    QLocale withoutGroups = locale;
    withoutGroups.setNumberOptions(QLocale::OmitGroupSeparator);
    return withoutGroups.toString(double(version), 'g', 7);
}

QString formatVersionNumber(float version)
{
    return formatVersionNumber(version, QLocale::system());
}
