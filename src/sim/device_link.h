#pragma once

#include <QString>

// A symbolic link to the simulator's device, e.g. <program folder>/com1, so
// that the download program finds the simulator as "Com 1". Removed again
// when this object goes, unless someone has pointed it elsewhere meanwhile.
class DeviceLink
{
public:
    DeviceLink() = default;
    ~DeviceLink();
    DeviceLink(const DeviceLink &) = delete;
    DeviceLink &operator=(const DeviceLink &) = delete;

    // Makes linkPath point to target. An existing symbolic link there (left
    // by an earlier run) is replaced; any other file is left alone and the
    // call fails.
    bool create(const QString &linkPath, const QString &target, QString *error);
    void remove();

private:
    QString m_linkPath;
    QString m_target;
};
