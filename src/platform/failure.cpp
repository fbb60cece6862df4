#include "platform/failure.h"

Failure::Failure(const QString &reason)
    : std::runtime_error(reason.toStdString())
{
}

QString Failure::reason() const
{
    return QString::fromStdString(what());
}
