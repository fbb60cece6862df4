#include "platform/browse_dialog.h"

#include "platform/failure.h"

#include <QFileInfo>

BrowseDialog::BrowseDialog(FilePicker &picker)
    : m_picker(picker)
{
}

void BrowseDialog::showOpen()
{
    show(FilePicker::Mode::Open);
}

void BrowseDialog::showSave()
{
    show(FilePicker::Mode::Save);
}

void BrowseDialog::show(FilePicker::Mode mode)
{
    FilePicker::Request request;
    request.mode = mode;
    request.title = m_title;
    request.nameFilters = nameFilters(m_filter);
    request.fileName = m_fileName;
    request.defaultSuffix = m_defaultExt.mid(m_defaultExt.startsWith(u'.') ? 1 : 0);

    const std::optional<QString> chosen = m_picker.pick(request);
    if (!chosen || chosen->isEmpty())
        throw Failure(QStringLiteral("The file dialog \"%1\" was cancelled").arg(m_title));

    QString name = *chosen;
    // A name typed without an extension gets the default one, whichever list
    // of filters the dialog showed; an existing file picked from the list is
    // taken as it is.
    if (QFileInfo(name).suffix().isEmpty() && !QFileInfo::exists(name))
        name += m_defaultExt;
    m_fileName = name;
}

QStringList BrowseDialog::nameFilters(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(u';', u' ');
        // Qt takes the patterns from the last parentheses of the entry; a
        // description that already shows them is kept as it is.
        if (description.contains(u'(' + patterns + u')'))
            result << description;
        else
            result << description + QStringLiteral(" (") + patterns + u')';
    }
    if (parts.size() % 2 == 1 && !parts.last().isEmpty())
        result << parts.last();
    return result;
}
