#pragma once

#include <QByteArray>
#include <QString>

// Bytes written as readable text: printable ASCII as it is, backslash escapes
// for \\, \", \r, \n, \t and \xNN for every other byte. Used for the
// transcript and for protocol characters given on the command line.
QByteArray escapedText(const QByteArray &bytes);

// The reverse of escapedText (also accepts a plain text without escapes).
// Fails with a reason on a backslash that starts no known escape.
bool unescapeText(const QString &text, QByteArray *bytes, QString *error);
