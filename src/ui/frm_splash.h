#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;

// The about window: product name, version, platforms, the maker's name, web
// address and copyright, a disclaimer and the logo. Frameless, fixed size,
// centred, not in the task bar. A key that produces a character or a click on
// the frame's background closes it. It is built each time it is shown
// (modally, by its caller) and destroyed when it closes.
class frmSplash : public QDialog
{
    Q_OBJECT

public:
    explicit frmSplash(QWidget *parent = nullptr);

    QGroupBox *Frame1 = nullptr;
    QLabel *lblCompanyProduct = nullptr;
    QLabel *lblProductName = nullptr;
    QLabel *lblPlatform = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *Label1 = nullptr; // web address
    QLabel *lblCopyright = nullptr;
    QLabel *lblCompany = nullptr;
    QLabel *lblWarning = nullptr;
    QLabel *imgLogo = nullptr;

    // The maker's texts.
    static QString companyName();
    static QString webAddress();
    static QString copyrightLine();
    static QString disclaimer();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void load();
};
