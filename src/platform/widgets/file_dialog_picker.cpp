#include "platform/widgets/file_dialog_picker.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

FileDialogPicker::FileDialogPicker(QWidget *parent)
    : m_parent(parent)
{
}

std::optional<QString> FileDialogPicker::pick(const Request &request)
{
    QPointer<QFileDialog> dialog = new QFileDialog(m_parent.data(), request.title);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    const bool open = request.mode == Mode::Open;
    dialog->setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog->setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog->setNameFilters(request.nameFilters);
    dialog->setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty()) {
        // Start in the folder of the name chosen last, with that name filled in.
        const QFileInfo last(request.fileName);
        if (last.dir().exists())
            dialog->setDirectory(last.dir());
        dialog->selectFile(last.fileName());
    }

    const bool accepted = dialog->exec() == QDialog::Accepted;
    std::optional<QString> chosen;
    if (dialog && accepted && !dialog->selectedFiles().isEmpty())
        chosen = QDir::toNativeSeparators(dialog->selectedFiles().constFirst());
    delete dialog.data();
    return chosen;
}
