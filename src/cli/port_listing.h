#pragma once

#include <QStringList>

class PortMap;

// One line per Com number: the device it opens now, for --list-ports, e.g.
// "Com 1  /dev/ttyUSB0" or "Com 2  (no device)". A link is followed to its
// target, so the user sees which device a pinned port really is.
QStringList describeComPorts(const PortMap &map);
