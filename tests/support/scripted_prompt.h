#pragma once

#include "platform/prompt.h"

#include <QList>
#include <QString>
#include <functional>

// A Prompt for tests: records every box and answers from a queue that the test
// fills, then with a default answer.
class ScriptedPrompt : public Prompt
{
public:
    struct Box
    {
        QString title;
        QString text;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };

    // Every box shown so far, oldest first.
    QList<Box> boxes;
    // Answers for the next boxes (true: Yes or OK), used up in order.
    QList<bool> answers;
    // The answer once the queue is empty.
    bool defaultAnswer = true;
    // Runs while a box is "open", before it is answered: lets a test look at
    // the window as the user would see it behind the box.
    std::function<void(const Box &)> whileShown;

    // The texts of all boxes, for compact comparisons.
    QStringList texts() const;

protected:
    bool show(const QString &title, const QString &text, Icon icon, Buttons buttons) override;
};
