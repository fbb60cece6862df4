#include "sim/escaped_text.h"

#include <cctype>

QByteArray escapedText(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto u = quint8(c);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u >= 0x20 && u < 0x7F) {
                out += c;
            } else {
                out += "\\x";
                out += QByteArray::number(u, 16).rightJustified(2, '0');
            }
        }
    }
    return out;
}

bool unescapeText(const QString &text, QByteArray *bytes, QString *error)
{
    const QByteArray in = text.toUtf8();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in.at(i);
        if (c != '\\') {
            out += c;
            continue;
        }
        if (i + 1 >= in.size()) {
            *error = QStringLiteral("\"%1\" ends with a lone backslash").arg(text);
            return false;
        }
        const char e = in.at(++i);
        switch (e) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'x': {
            const bool twoDigits = i + 2 < in.size() && std::isxdigit(quint8(in.at(i + 1)))
                                   && std::isxdigit(quint8(in.at(i + 2)));
            if (!twoDigits) {
                *error = QStringLiteral("\"%1\": \\x needs two hex digits").arg(text);
                return false;
            }
            out += char(in.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
            break;
        }
        default:
            *error = QStringLiteral("\"%1\": unknown escape \\%2").arg(text, QChar::fromLatin1(e));
            return false;
        }
    }
    *bytes = out;
    return true;
}
