#pragma once

#include <QByteArray>
#include <QString>

class QLocale;

// The bootloader's answers are recognised by tokens: the text of a protocol
// field, of any length.

// A reply contains a token when the token occurs in it as an exact,
// case-sensitive substring. An empty token is contained in any non-empty reply
// and in no empty one.
bool containsToken(const QByteArray &reply, const QByteArray &token);

// The bytes that a protocol field's text stands for on the wire.
QByteArray tokenBytes(const QString &fieldText);

// The version number at the start of text (the text after the bootloader's
// "V"): decimal, "." as the decimal point whatever the user's locale, blanks,
// tabs and line feeds skipped anywhere, an optional sign and exponent; reading
// stops at the first character that cannot continue the number. Text that does
// not start with a number gives 0. A number too large for single precision is a
// Failure.
float readVersionNumber(const QByteArray &text);

// The version as the user reads it: the user's number format, up to seven
// significant digits, no leading blank ("1.3", "2").
QString formatVersionNumber(float version, const QLocale &locale);
QString formatVersionNumber(float version);
