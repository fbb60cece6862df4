#pragma once

#include <QString>

// Modal message boxes, always with a title. Information and results: OK, no
// icon. Failures: OK with the exclamation icon. Questions: Yes and No, no icon.
class Prompt
{
public:
    enum class Icon { None, Exclamation };
    enum class Buttons { Ok, YesNo };

    virtual ~Prompt() = default;

    void inform(const QString &title, const QString &text) { show(title, text, Icon::None, Buttons::Ok); }
    void warn(const QString &title, const QString &text) { show(title, text, Icon::Exclamation, Buttons::Ok); }
    // True for Yes.
    bool ask(const QString &title, const QString &text) { return show(title, text, Icon::None, Buttons::YesNo); }

protected:
    // Shows one box and waits until it is closed. True when the user chose Yes
    // (or OK).
    virtual bool show(const QString &title, const QString &text, Icon icon, Buttons buttons) = 0;
};
