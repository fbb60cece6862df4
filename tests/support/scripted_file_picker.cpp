#include "support/scripted_file_picker.h"

std::optional<QString> ScriptedFilePicker::pick(const Request &request)
{
    requests << request;
    if (answers.isEmpty())
        return std::nullopt;
    return answers.takeFirst();
}
