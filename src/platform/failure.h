#pragma once

#include <QString>
#include <stdexcept>

// The one failure type of the program. Failing platform operations (the serial
// port, files, dialogs) and checked 16-bit arithmetic throw it; whoever runs a
// sequence of such operations catches it once and decides what the user sees.
class Failure : public std::runtime_error
{
public:
    explicit Failure(const QString &reason);

    // A readable reason, for tests and the command-line front end. The window
    // shows its own fixed messages instead.
    QString reason() const;
};
