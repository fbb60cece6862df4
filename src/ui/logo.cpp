#include "ui/logo.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QImage drawLogo(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        // The drawing is made on a grid of 100 by 105 units.
        painter.scale(size.width() / 100.0, size.height() / 105.0);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);

        // Frame
        QPainterPath frame;
        frame.addRoundedRect(QRectF(2, 2, 96, 101), 10, 10);
        frame.addRoundedRect(QRectF(7, 7, 86, 91), 7, 7);
        painter.drawPath(frame);

        // The chip and its pins
        painter.drawRect(QRectF(25, 16, 50, 52));
        for (int pin = 0; pin < 5; ++pin) {
            const qreal top = 19 + pin * 10;
            painter.drawRect(QRectF(15, top, 10, 5));
            painter.drawRect(QRectF(75, top, 10, 5));
        }

        // The "T", cut out of the chip
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(33, 25, 34, 9));
        painter.drawRect(QRectF(45, 34, 10, 26));

        // The serial line: a square wave
        painter.setBrush(Qt::black);
        const qreal low = 91, high = 77, thick = 4;
        const qreal xs[] = {14, 26, 36, 46, 56, 66, 86};
        bool up = false;
        for (int i = 0; i + 1 < int(std::size(xs)); ++i) {
            const qreal y = up ? high : low;
            painter.drawRect(QRectF(xs[i], y, xs[i + 1] - xs[i] + thick, thick));
            if (i + 2 < int(std::size(xs)))
                painter.drawRect(QRectF(xs[i + 1], high, thick, low - high + thick));
            up = !up;
        }
    }
    return image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
}

QIcon tarnwickIcon()
{
    return QIcon(QPixmap::fromImage(drawLogo(QSize(32, 32))));
}
