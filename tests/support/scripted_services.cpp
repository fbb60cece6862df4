#include "support/scripted_services.h"

Form1Services ScriptedServices::services()
{
    Form1Services services;
    services.prompt = &prompt;
    services.filePicker = &picker;
    services.settingsFile = settingsFile();
    services.showSplash = showSplash;
    services.splashMs = splashMs;
    services.programFolder = folder.path();
    services.portLister = [this] { return systemPorts; };
    return services;
}

QString ScriptedServices::settingsFile() const
{
    return folder.filePath(QStringLiteral("tarnwick.txt"));
}
