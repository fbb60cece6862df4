#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The window in which the user picks a file: QFileDialog in the program, a
// scripted picker in tests.
class FilePicker
{
public:
    enum class Mode { Open, Save };

    struct Request
    {
        Mode mode = Mode::Open;
        QString title;
        // Qt's form, one entry per description: "Hex Files (*.hex)".
        QStringList nameFilters;
        // The name the picker starts with (the last one chosen, or empty).
        QString fileName;
        // Without the dot: "hex".
        QString defaultSuffix;
    };

    virtual ~FilePicker() = default;
    // The chosen file's full path, or nothing when the user cancelled.
    virtual std::optional<QString> pick(const Request &request) = 0;
};

// The window's one common file dialog, shared by the two Browse buttons and by
// File, Open and File, Save. It keeps the name chosen in its last successful
// use; each use sets only its title and filter list.
class BrowseDialog
{
public:
    explicit BrowseDialog(FilePicker &picker);

    void setDialogTitle(const QString &title) { m_title = title; }
    QString dialogTitle() const { return m_title; }

    // A filter list in the "Description (*.ext)|*.ext|..." form: description and
    // pattern pairs, every part separated from the next by a vertical bar.
    void setFilter(const QString &filter) { m_filter = filter; }
    QString filter() const { return m_filter; }

    QString defaultExt() const { return m_defaultExt; }
    QString fileName() const { return m_fileName; }

    // Show the dialog for opening or for saving a file. A cancel is reported as
    // a Failure and leaves the kept file name as it was.
    void showOpen();
    void showSave();

    // "Hex Files (*.hex)|*.hex|Binary Files (*.bin)|*.bin" in Qt's form.
    static QStringList nameFilters(const QString &filter);

private:
    void show(FilePicker::Mode mode);

    FilePicker &m_picker;
    QString m_title = QStringLiteral("Select File to Download");
    QString m_filter = QStringLiteral("Hex Files (*.hex)|*.hex");
    QString m_defaultExt = QStringLiteral(".hex");
    QString m_fileName;
};
