#pragma once

#include "platform/browse_dialog.h"

#include <QPointer>
#include <QWidget>

// The file picker on QFileDialog (Qt's own dialog, the same on every desktop).
// An open dialog accepts only a file that exists; a save dialog asks before it
// replaces one.
class FileDialogPicker : public FilePicker
{
public:
    explicit FileDialogPicker(QWidget *parent = nullptr);

    std::optional<QString> pick(const Request &request) override;

private:
    QPointer<QWidget> m_parent;
};
