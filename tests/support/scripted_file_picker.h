#pragma once

#include "platform/browse_dialog.h"

#include <QList>
#include <optional>

// A FilePicker for tests: records every request and answers from a queue that
// the test fills; an empty answer (or an empty queue) is a cancel.
class ScriptedFilePicker : public FilePicker
{
public:
    QList<Request> requests;
    QList<std::optional<QString>> answers;

    std::optional<QString> pick(const Request &request) override;
};
