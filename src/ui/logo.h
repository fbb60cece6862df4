#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>

// Our logo: a chip with a "T" on it above a serial line's square wave, in two
// colours (black on white).
QImage drawLogo(QSize size);

// The main window's 32 by 32 two-colour icon: the same drawing.
QIcon tarnwickIcon();
