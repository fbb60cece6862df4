#include "cli/port_listing.h"

#include "app/settings.h"
#include "platform/port_map.h"

#include <QFileInfo>

QStringList describeComPorts(const PortMap &map)
{
    QStringList lines;
    for (int index = 0; index < ComPortCount; ++index) {
        const QString device = map.deviceFor(index + 1);
        QString line = comPortEntry(index) + QStringLiteral("  ");
        if (device.isEmpty()) {
            line += QStringLiteral("(no device)");
        } else {
            line += device;
            const QFileInfo info(device);
            if (info.isSymLink()) {
                const QString target = info.symLinkTarget();
                line += QStringLiteral(" -> ") + (target.isEmpty() ? QStringLiteral("(broken link)") : target);
            }
        }
        lines << line;
    }
    return lines;
}
