#include "ui/frm_splash.h"

#include "app/app_info.h"
#include "ui/caption_fit.h"
#include "ui/logo.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>

namespace {

// Designed positions are in twips; 15 twips make one pixel.
QRect twips(int left, int top, int width, int height)
{
    return QRect(qRound(left / 15.0), qRound(top / 15.0), qRound(width / 15.0), qRound(height / 15.0));
}

// Arial where it exists; otherwise the sans-serif face that every machine has.
QFont designFont(const QString &family, qreal pointSize, bool bold)
{
    QFont font;
    font.setFamilies({family, QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace

frmSplash::frmSplash(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setModal(true);
    setFixedSize(twips(0, 0, 8145, 5460).size());
    buildControls();
    load();
}

QString frmSplash::companyName()
{
    return QStringLiteral("Quillon Devices");
}

QString frmSplash::webAddress()
{
    return QStringLiteral("www.quillon.example");
}

QString frmSplash::copyrightLine()
{
    return QStringLiteral("Copyright \u00A9 2003");
}

QString frmSplash::disclaimer()
{
    return QStringLiteral(
        "Warning: this program is protected by copyright law. It is provided \"as is\", without "
        "warranty of any kind, express or implied, including but not limited to the warranties of "
        "merchantability, fitness for a particular purpose and non-infringement. Downloading "
        "firmware alters the memory of the target device: a download that is interrupted, sent "
        "to the wrong port or made with the wrong protocol characters can leave the device unable "
        "to start until it is programmed again by other means. In no event shall Quillon Devices "
        "or its suppliers be liable for any damage to equipment, loss of data, loss of production "
        "or any other direct, indirect, incidental or consequential damage arising from the use "
        "of, or the inability to use, this program, even if advised of the possibility of such "
        "damage. Check the files, the port and the settings before every download, and keep a "
        "way to reprogram the target.");
}

void frmSplash::buildControls()
{
    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twips(120, 0, 7905, 5355));
    Frame1->installEventFilter(this);

    const auto label = [this](const char *name, const QRect &geometry, const QFont &font) {
        auto *control = new QLabel(Frame1);
        control->setObjectName(QString::fromLatin1(name));
        control->setGeometry(geometry);
        control->setFont(font);
        return control;
    };

    imgLogo = label("imgLogo", twips(240, 435, 2055, 2265), font());
    imgLogo->setScaledContents(true);
    imgLogo->setPixmap(QPixmap::fromImage(drawLogo(QSize(390, 409))));

    const QString arial = QStringLiteral("Arial");
    lblCompanyProduct = label("lblCompanyProduct", twips(2355, 345, 4770, 435), designFont(arial, 18, true));
    lblProductName = label("lblProductName", twips(2520, 780, 4935, 765), designFont(arial, 32.25, true));
    lblPlatform = label("lblPlatform", twips(3000, 1920, 3855, 360), designFont(arial, 15.75, true));
    lblPlatform->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblVersion = label("lblVersion", twips(5280, 2400, 885, 285), designFont(arial, 12, true));
    lblVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label1 = label("Label1", twips(240, 2760, 2055, 255), designFont(QStringLiteral("MS Sans Serif"), 9.75, true));
    Label1->setAlignment(Qt::AlignCenter);
    lblCopyright = label("lblCopyright", twips(5280, 2760, 2415, 255), designFont(arial, 8.25, false));
    lblCompany = label("lblCompany", twips(5280, 3000, 2415, 255), designFont(arial, 8.25, false));
    lblWarning = label("lblWarning", twips(120, 3300, 7455, 1995), designFont(arial, 8.25, false));
    lblWarning->setWordWrap(true);
    lblWarning->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The labels that fit their text grow with it; the others keep their box,
    // so their font gives way where this platform's face is wider than the
    // designed one.
    const auto fitText = [](QLabel *control, const QString &text) {
        control->setText(text);
        control->adjustSize();
    };
    const auto fitBox = [](QLabel *control, const QString &text) {
        const int width = control->width();
        control->setFont(largestFittingFont(control->font(), 6, [&](const QFontMetrics &metrics) {
            return fitsInWidth(metrics, text, width);
        }));
        control->setText(text);
    };
    fitText(lblCompanyProduct, companyName());
    fitText(lblPlatform, QStringLiteral("Windows 95, 98, NT, 2000"));
    fitBox(Label1, webAddress());
    fitBox(lblCopyright, copyrightLine());
    fitBox(lblCompany, companyName());

    const QString warning = disclaimer();
    const QSize box = lblWarning->size();
    lblWarning->setFont(largestFittingFont(lblWarning->font(), 6, [&](const QFontMetrics &metrics) {
        return fitsWrapped(metrics, warning, box.width(), box.height());
    }));
    lblWarning->setText(warning);
}

// Runs each time the window is built, that is each time it is shown.
void frmSplash::load()
{
    lblVersion->setText(AppInfo::versionLine());
    lblVersion->adjustSize();
    lblProductName->setText(AppInfo::title());
    lblProductName->adjustSize();
}

void frmSplash::showEvent(QShowEvent *event)
{
    if (QScreen *shown = screen())
        move(shown->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

void frmSplash::keyPressEvent(QKeyEvent *event)
{
    // Keys that produce a character close the window (Enter, Esc, Backspace
    // and the space bar among them); function, arrow and modifier keys do not.
    if (!event->text().isEmpty())
        close();
    else
        event->ignore();
}

bool frmSplash::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Frame1 && event->type() == QEvent::MouseButtonPress) {
        // A click on a label or the logo reaches the frame too, passed on by
        // the label; only a click on the frame's own background closes.
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (!Frame1->childAt(mouse->position().toPoint())) {
            close();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
