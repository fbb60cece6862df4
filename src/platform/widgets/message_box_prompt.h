#pragma once

#include "platform/prompt.h"

#include <QPointer>
#include <QWidget>

// Message boxes on QMessageBox, modal over the window that owns them.
class MessageBoxPrompt : public Prompt
{
public:
    // The boxes are centred over parent; a parent that has gone away by the
    // time a box is shown leaves the box without one.
    explicit MessageBoxPrompt(QWidget *parent = nullptr);

protected:
    bool show(const QString &title, const QString &text, Icon icon, Buttons buttons) override;

private:
    QPointer<QWidget> m_parent;
};
