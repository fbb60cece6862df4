#pragma once

#include "support/scripted_file_picker.h"
#include "support/scripted_prompt.h"
#include "ui/form1.h"

#include <QTemporaryDir>

// What a main window under test uses instead of the real world: scripted
// message boxes and file dialog, a folder of its own as the program's folder
// (the settings file, comN entries) and a list of serial ports that the test
// sets. The splash is off unless a test turns it on.
//
//     ScriptedServices test;
//     Form1 window(test.services());
struct ScriptedServices
{
    ScriptedPrompt prompt;
    ScriptedFilePicker picker;
    QTemporaryDir folder;
    bool showSplash = false;
    int splashMs = 4000;
    // The system's serial ports as the window sees them; may change while the
    // window lives.
    QStringList systemPorts;

    Form1Services services();
    // The settings file that start-up reads and shutdown writes (it need not
    // exist).
    QString settingsFile() const;
};
