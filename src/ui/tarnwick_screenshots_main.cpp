// Renders the main window (at rest and during a download) and the about
// window to PNG files, for the README. Runs on any Qt platform, including the
// headless "offscreen" one:
//   tarnwick-screenshots OUTPUT_FOLDER

#include "download/download_texts.h"
#include "platform/prompt.h"
#include "ui/form1.h"
#include "ui/frm_splash.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

// Start-up reports a missing settings file; the pictures do not need to know.
class QuietPrompt : public Prompt
{
protected:
    bool show(const QString &, const QString &, Icon, Buttons) override { return true; }
};

bool save(QWidget &window, const QString &path)
{
    QApplication::processEvents();
    const bool saved = window.grab().save(path);
    QTextStream(saved ? stdout : stderr) << (saved ? "wrote " : "cannot write ") << path << Qt::endl;
    return saved;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        QTextStream(stderr) << "usage: tarnwick-screenshots OUTPUT_FOLDER" << Qt::endl;
        return 2;
    }
    const QDir output(arguments[1]);
    if (!QDir().mkpath(output.path())) {
        QTextStream(stderr) << "cannot create " << output.path() << Qt::endl;
        return 1;
    }

    // A settings file of its own, so the user's settings are neither read
    // nor overwritten.
    QTemporaryDir scratch;
    QuietPrompt prompt;
    Form1Services services;
    services.prompt = &prompt;
    services.settingsFile = scratch.filePath(QStringLiteral("tarnwick.txt"));
    services.showSplash = false;
    Form1 window(services);
    window.StartUp();
    window.Text1->setText(QStringLiteral("/home/ada/firmware/thermostat.hex"));
    window.Text11->setText(QStringLiteral("/home/ada/firmware/thermostat.eep"));

    bool ok = save(window, output.filePath(QStringLiteral("main-window.png")));

    window.EnterBusyState();
    window.showVersion(DownloadTexts::VersionLabel + QStringLiteral("1.3"));
    window.setStatus(DownloadTexts::SendingFlash);
    window.showLinesRemaining(QStringLiteral("412"));
    ok = save(window, output.filePath(QStringLiteral("main-window-busy.png"))) && ok;
    window.EnterIdleState();

    frmSplash about;
    about.show();
    ok = save(about, output.filePath(QStringLiteral("about-window.png"))) && ok;
    about.close();

    // Nothing is kept: the window's settings file lives in the scratch folder.
    window.close();
    return ok ? 0 : 1;
}
