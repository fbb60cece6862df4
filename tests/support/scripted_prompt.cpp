#include "support/scripted_prompt.h"

QStringList ScriptedPrompt::texts() const
{
    QStringList result;
    for (const Box &box : boxes)
        result << box.text;
    return result;
}

bool ScriptedPrompt::show(const QString &title, const QString &text, Icon icon, Buttons buttons)
{
    const Box box{title, text, icon, buttons};
    boxes << box;
    if (whileShown)
        whileShown(box);
    return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
}
