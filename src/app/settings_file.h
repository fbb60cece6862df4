#pragma once

#include "app/settings.h"

#include <QString>

#include <functional>

// The settings file: sixteen lines, CR LF after each, in the order of
// SettingRole. Numbers in decimal, texts between double quotes, unchanged.
// Characters are in the system's 8-bit encoding (toLocal8Bit).

// Writes the sixteen values to path. The file is written to a temporary file
// in the same folder and replaces the old one only once every line is on disk,
// so a failed save leaves the previous file as it was. Throws Failure, naming
// the path, when the file cannot be written or when a value cannot be stored in
// the format (a list position or check state out of range, a text with a line
// break, a NUL or a character the 8-bit encoding cannot hold) -- such a file
// would not read back as the values that were saved.
void writeSettingsFile(const QString &path, const Settings &settings);

// Reads the sixteen values from path. onValue, when given, is called after each
// value has been taken and checked, in file order, with the record so far
// (values not read yet hold their defaults), so a window can show each value as
// it is read. Throws Failure, naming the path, when the file cannot be opened
// or when it does not hold sixteen acceptable values; the values passed to
// onValue before the failure are then not a complete record.
Settings readSettingsFile(const QString &path,
                          const std::function<void(SettingRole, const Settings &)> &onValue = {});

// The texts of the two message boxes that report a failed load or save.
QString loadFailureMessage(const QString &path);
QString saveFailureMessage(const QString &path);
