#pragma once

#include <QByteArray>
#include <QString>

// Small file helpers for tests.

// Writes bytes as the whole content of path; false when that fails.
bool writeFile(const QString &path, const QByteArray &bytes);
// The whole content of path, or "<unreadable: reason>" so that a comparison
// that fails says why.
QByteArray readFile(const QString &path);
// Permissions do not stop root; tests of unreadable or read-only files skip.
bool runningAsRoot();
