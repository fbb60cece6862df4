// The main window's controls at their designed places. There is deliberately
// no layout: every control keeps its position when the window is resized.

#include "download/download_texts.h"
#include "ui/caption_fit.h"
#include "ui/form1.h"
#include "ui/port_combo_box.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>

#include <algorithm>
#include <limits>

namespace {

// Designed positions are in twips; 15 twips make one pixel.
QRect twips(int left, int top, int width, int height)
{
    return QRect(qRound(left / 15.0), qRound(top / 15.0), qRound(width / 15.0), qRound(height / 15.0));
}

template<typename Control>
Control *place(QWidget *container, const char *name, const QRect &geometry)
{
    auto *control = new Control(container);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(geometry);
    return control;
}

QLabel *label(QWidget *container, const char *name, const QString &caption, const QRect &geometry)
{
    auto *control = place<QLabel>(container, name, geometry);
    control->setText(caption);
    return control;
}

QLineEdit *textBox(QWidget *container, const char *name, const QString &text, const QRect &geometry)
{
    auto *control = place<QLineEdit>(container, name, geometry);
    // No length limit: a long path read from a settings file stays whole.
    control->setMaxLength(std::numeric_limits<int>::max());
    control->setText(text);
    return control;
}

QPushButton *button(QWidget *container, const char *name, const QString &caption, const QRect &geometry)
{
    auto *control = place<QPushButton>(container, name, geometry);
    control->setText(caption);
    // A focused button takes Enter itself, as buttons do on the desktop;
    // elsewhere Enter goes to the window's default button.
    control->setAutoDefault(true);
    return control;
}

QGroupBox *frame(QWidget *container, const char *name, const QString &caption, const QRect &geometry)
{
    auto *control = place<QGroupBox>(container, name, geometry);
    control->setTitle(caption);
    return control;
}

} // namespace

void Form1::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    // Connection
    Frame1 = frame(client, "Frame1", QStringLiteral("Connection"), twips(360, 120, 1935, 3375));
    Label4 = label(Frame1, "Label4", QStringLiteral("Com Port Selection:"), twips(120, 360, 1605, 255));
    Combo1 = place<PortComboBox>(Frame1, "Combo1", twips(120, 600, 1455, 315));
    for (int i = 0; i < ComPortCount; ++i)
        Combo1->addItem(comPortEntry(i));
    Label5 = label(Frame1, "Label5", QStringLiteral("Baud Rate Selection:"), twips(120, 1080, 1605, 255));
    Combo2 = place<QComboBox>(Frame1, "Combo2", twips(120, 1320, 1575, 315));
    for (int i = 0; i < BaudRateCount; ++i)
        Combo2->addItem(QString::number(baudRateEntry(i)));
    // No entry is chosen until start-up picks one.
    Combo1->setCurrentIndex(-1);
    Combo2->setCurrentIndex(-1);

    // Start Bootloader Characters
    Frame2 = frame(client, "Frame2", QStringLiteral("Start Bootloader Characters"), twips(2520, 120, 2535, 3375));
    Label8 = label(Frame2, "Label8", QStringLiteral("Jump to Bootloader Command:"), twips(240, 240, 2175, 255));
    Text4 = textBox(Frame2, "Text4", QStringLiteral("$"), twips(240, 480, 615, 285));
    Label9 = label(Frame2, "Label9", QStringLiteral("Bootloader Active Character:"), twips(240, 840, 2175, 255));
    Text5 = textBox(Frame2, "Text5", QStringLiteral("^"), twips(240, 1080, 615, 285));
    Label6 = label(Frame2, "Label6", QStringLiteral("Start Download Sequence:"), twips(240, 1440, 2175, 255));
    Text2 = textBox(Frame2, "Text2", QStringLiteral("@&$"), twips(240, 1680, 615, 285));
    Label7 = label(Frame2, "Label7", QStringLiteral("Bootloader Ready:"), twips(240, 2040, 2175, 255));
    Text3 = textBox(Frame2, "Text3", QStringLiteral("?"), twips(240, 2280, 615, 285));
    Label1 = label(Frame2, "Label1", QStringLiteral("EEPROM Write:"), twips(240, 2640, 1335, 255));
    Text12 = textBox(Frame2, "Text12", QStringLiteral("*"), twips(240, 2880, 615, 285));

    // Download File Characters
    Frame3 = frame(client, "Frame3", QStringLiteral("Download File Characters"), twips(5280, 120, 3015, 3375));
    Label10 = label(Frame3, "Label10", QStringLiteral("Line Complete Character:"), twips(240, 240, 2175, 255));
    Text6 = textBox(Frame3, "Text6", QStringLiteral("~"), twips(240, 480, 615, 285));
    Label11 = label(Frame3, "Label11", QStringLiteral("Page Error Character:"), twips(240, 840, 2175, 255));
    Text7 = textBox(Frame3, "Text7", QStringLiteral("%"), twips(240, 1080, 615, 285));
    Label15 = label(Frame3, "Label15", QStringLiteral("Checksum Error Character:"), twips(240, 1440, 2535, 255));
    Text10 = textBox(Frame3, "Text10", QStringLiteral("-"), twips(240, 1680, 615, 285));
    Label12 = label(Frame3, "Label12", QStringLiteral("File Complete with Errors Character:"), twips(240, 2040, 2535, 255));
    Text8 = textBox(Frame3, "Text8", QStringLiteral("#"), twips(240, 2280, 615, 285));
    Label13 = label(Frame3, "Label13", QStringLiteral("File Complete, No Errors Character:"), twips(240, 2640, 2655, 255));
    Text9 = textBox(Frame3, "Text9", QStringLiteral("@"), twips(240, 2880, 615, 285));

    // The files and the download commands
    Frame4 = frame(client, "Frame4", QString(), twips(360, 3600, 7935, 2055));
    FlashCheck = place<QCheckBox>(Frame4, "FlashCheck", twips(120, 360, 1575, 255));
    FlashCheck->setText(QStringLiteral("Application Code"));
    FlashCheck->setCheckState(Qt::Checked);
    Text1 = textBox(Frame4, "Text1", QString(), twips(1920, 360, 4815, 285));
    Command1 = button(Frame4, "Command1", QStringLiteral("&Browse"), twips(6960, 360, 735, 315));
    EepromCheck = place<QCheckBox>(Frame4, "EepromCheck", twips(120, 840, 1575, 255));
    EepromCheck->setText(QStringLiteral("EEPROM Code"));
    EepromCheck->setCheckState(Qt::Unchecked);
    Text11 = textBox(Frame4, "Text11", QString(), twips(1920, 840, 4815, 285));
    Command7 = button(Frame4, "Command7", QStringLiteral("B&rowse"), twips(6960, 840, 735, 315));
    Command6 = button(Frame4, "Command6", QStringLiteral("&Wait for Bootloader then Download"),
                      twips(840, 1320, 2895, 495));
    Command6->setToolTip(
        QStringLiteral("Wait for the Bootloader Active Character before continuing with the download."));
    // Cancel lies across the gap between the two download buttons; it is
    // shown only while they are hidden.
    Command4 = button(Frame4, "Command4", QStringLiteral("Cancel"), twips(3120, 1320, 1815, 495));
    Command4->hide();
    Command2 = button(Frame4, "Command2", QStringLiteral("Jump to Bootloader then &Download"),
                      twips(4080, 1320, 2895, 495));
    Command2->setToolTip(QStringLiteral("Send the Jump to Bootloader Command to the target and wait for "
                                        "Bootloader Active Character before continuing."));
    Command2->setDefault(true);

    // Only the two file fields take dropped files; a drop of anything else
    // (dragged text) changes nothing.
    Text1->installEventFilter(this);
    Text11->installEventFilter(this);

    // The status bar. The count and the version are drawn over the status
    // line and cover it where they overlap (see coverStatusLine).
    Frame5 = frame(client, "Frame5", QString(), twips(360, 5760, 7935, 495));
    Label3 = label(Frame5, "Label3", QStringLiteral("Status:"), twips(120, 170, 495, 255));
    Label2 = label(Frame5, "Label2", QStringLiteral("Idle"), twips(720, 165, 6855, 255));
    Label14 = label(Frame5, "Label14", QString(), twips(3600, 165, 1095, 255));
    Label14->hide();
    Label14->installEventFilter(this);
    Label16 = label(Frame5, "Label16", QString(), twips(5400, 165, 2295, 255));
    Label16->hide();
    Label16->installEventFilter(this);

    Command5 = button(client, "Command5", QStringLiteral("Info"), twips(1560, 6480, 1935, 495));
    Command3 = button(client, "Command3", QStringLiteral("E&xit"), twips(5040, 6480, 1935, 495));

    for (QLineEdit *box : textBoxes())
        box->installEventFilter(this);

    chooseWindowFont();
}

void Form1::buildMenus()
{
    QMenuBar *bar = menuBar();
    FileMenu = bar->addMenu(QStringLiteral("&File"));
    FileMenu->setObjectName(QStringLiteral("FileMenu"));
    OpenMenu = FileMenu->addAction(QStringLiteral("&Open"));
    OpenMenu->setObjectName(QStringLiteral("OpenMenu"));
    OpenMenu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    SaveMenu = FileMenu->addAction(QStringLiteral("&Save"));
    SaveMenu->setObjectName(QStringLiteral("SaveMenu"));
    SaveMenu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    ExitMenu = FileMenu->addAction(QStringLiteral("E&xit"));
    ExitMenu->setObjectName(QStringLiteral("ExitMenu"));
    // Command items on the bar itself, without a drop-down.
    DefaultMenu = bar->addAction(QStringLiteral("&Default All Settings"));
    DefaultMenu->setObjectName(QStringLiteral("DefaultMenu"));
    InfoMenu = bar->addAction(QStringLiteral("&Info"));
    InfoMenu->setObjectName(QStringLiteral("InfoMenu"));
}

void Form1::buildTabOrder()
{
    const QList<QWidget *> order{Command2, Combo1, Combo2, Text4, Text5, Text2, Text3, Text6,
                                 Text7, Text10, Text8, Text9, Command1, Command6, Command4, Command5,
                                 Command3, Text1, FlashCheck, EepromCheck, Text11, Command7, Text12};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

// The designed sizes were made for a small 8-point face. The window uses
// DejaVu Sans (present on every Debian desktop), at the largest size up to
// 9 points at which every caption, list entry and status text shows in full
// in its fixed box.
void Form1::chooseWindowFont()
{
    struct Need
    {
        QString text;
        int width;
    };
    QList<Need> needs;

    QStyle *look = style();
    for (QLabel *control : findChildren<QLabel *>()) {
        if (control != Label2 && control != Label14 && control != Label16)
            needs.append({control->text(), control->width()});
    }
    const int checkMark = look->pixelMetric(QStyle::PM_IndicatorWidth)
        + look->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    for (QCheckBox *control : {FlashCheck, EepromCheck})
        needs.append({control->text(), control->width() - checkMark});
    const int buttonMargins = 2 * look->pixelMetric(QStyle::PM_ButtonMargin);
    for (QPushButton *control : findChildren<QPushButton *>())
        needs.append({shownCaption(control->text()), control->width() - buttonMargins});
    for (QGroupBox *control : {Frame1, Frame2, Frame3})
        needs.append({control->title(), control->width() - 16});
    const int arrow = look->pixelMetric(QStyle::PM_ScrollBarExtent) + 8;
    for (QComboBox *list : {static_cast<QComboBox *>(Combo1), Combo2}) {
        for (int i = 0; i < list->count(); ++i)
            needs.append({list->itemText(i), list->width() - arrow});
    }
    // The sending texts end where the lines-remaining count begins; the
    // version label holds a version of up to seven digits.
    const int beforeCount = Label14->x() - Label2->x();
    needs.append({DownloadTexts::SendingEeprom.trimmed(), beforeCount});
    needs.append({DownloadTexts::SendingFlash.trimmed(), beforeCount});
    needs.append({DownloadTexts::VersionLabel + QStringLiteral("1.234567"), Label16->width()});

    QFont preferred(QStringLiteral("DejaVu Sans"));
    preferred.setPointSizeF(9);
    setFont(largestFittingFont(preferred, 6, [&](const QFontMetrics &metrics) {
        return std::all_of(needs.cbegin(), needs.cend(),
                           [&](const Need &need) { return fitsInWidth(metrics, need.text, need.width); });
    }));
}
