#include "support/scripted_services.h"

Form1Services ScriptedServices::services()
{
    Form1Services services;
    services.prompt = &prompt;
    services.filePicker = &picker;
    services.settingsFile = settingsFile();
    services.showSplash = showSplash;
    services.splashMs = splashMs;
    return services;
}

QString ScriptedServices::settingsFile() const
{
    return folder.filePath(QStringLiteral("tarnwick.txt"));
}
