#pragma once

#include <QString>

// What the program knows about itself: its title, version and folder.
namespace AppInfo {

// The application title, used for the settings file's message boxes.
QString title();                 // "Tarnwick"
int versionMajor();
int versionMinor();
int versionRevision();
// "Tarnwick - V 2.0": the designed caption with major and minor appended.
QString captionWithVersion(const QString &designedCaption);
// "Version 2.0.1"
QString versionLine();
// The folder that holds the program file, without a trailing separator.
QString programFolder();
// The settings file the program reads at start-up and writes at the end.
QString defaultSettingsFile();

} // namespace AppInfo
