#include "app/settings_file.h"

#include "platform/failure.h"
#include "platform/line_file.h"

#include <QFileInfo>
#include <QSaveFile>


namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A value as it may be quoted in a reason: decoded and cut short.
QString shown(const QByteArray &value)
{
    constexpr qsizetype Longest = 40;
    const QString text = QString::fromLocal8Bit(value.left(Longest));
    return value.size() > Longest ? text + QStringLiteral("...") : text;
}

QString readFailure(const QString &path, const QString &what)
{
    return QStringLiteral("Cannot read the settings file \"%1\": %2").arg(path, what);
}

QString writeFailure(const QString &path, const QString &what)
{
    return QStringLiteral("Cannot save the settings to \"%1\": %2").arg(path, what);
}

QString roleName(SettingRole role)
{
    switch (role) {
    case SettingRole::ComPortIndex: return QStringLiteral("COM port position");
    case SettingRole::BaudRateIndex: return QStringLiteral("baud rate position");
    case SettingRole::ApplicationFile: return QStringLiteral("application file");
    case SettingRole::StartDownloadSequence: return QStringLiteral("start download sequence");
    case SettingRole::BootloaderReadyChar: return QStringLiteral("bootloader ready character");
    case SettingRole::JumpToBootloaderCommand: return QStringLiteral("jump to bootloader command");
    case SettingRole::BootloaderActiveChar: return QStringLiteral("bootloader active character");
    case SettingRole::PageErrorChar: return QStringLiteral("page error character");
    case SettingRole::FileCompleteErrorsChar:
        return QStringLiteral("file complete with errors character");
    case SettingRole::FileCompleteOkChar: return QStringLiteral("file complete OK character");
    case SettingRole::ChecksumErrorChar: return QStringLiteral("checksum error character");
    case SettingRole::LineCompleteChar: return QStringLiteral("line complete character");
    case SettingRole::EepromFile: return QStringLiteral("EEPROM file");
    case SettingRole::EepromWriteChar: return QStringLiteral("EEPROM write character");
    case SettingRole::EepromCheck: return QStringLiteral("EEPROM check box state");
    case SettingRole::FlashCheck: return QStringLiteral("application check box state");
    }
    return {};
}

// The values a numeric setting accepts: list positions (-1 for none) and the
// three check box states.
struct NumberRange
{
    int lowest;
    int highest;
};

NumberRange acceptedRange(SettingRole role)
{
    switch (role) {
    case SettingRole::ComPortIndex: return {-1, ComPortCount - 1};
    case SettingRole::BaudRateIndex: return {-1, BaudRateCount - 1};
    default: return {0, 2};
    }
}

SettingRole roleAt(int index)
{
    return static_cast<SettingRole>(index);
}

// ---------------------------------------------------------------- writing

QByteArray encodedText(const QString &path, SettingRole role, const QString &text)
{
    // A line break would split the value over two lines and shift every value
    // after it; a NUL makes the file look binary to the reader.
    for (const QChar c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\0')
            throw Failure(writeFailure(
                path, QStringLiteral("the %1 contains a line break or NUL character, "
                                     "which the settings file cannot hold")
                          .arg(roleName(role))));
    }
    const QByteArray bytes = text.toLocal8Bit();
    if (QString::fromLocal8Bit(bytes) != text)
        throw Failure(writeFailure(
            path, QStringLiteral("the %1 contains characters that the system's encoding "
                                 "cannot hold")
                      .arg(roleName(role))));
    return bytes;
}

QByteArray encodedSettings(const QString &path, const Settings &settings)
{
    QByteArray content;
    for (int index = 0; index < SettingCount; ++index) {
        const SettingRole role = roleAt(index);
        if (isTextSetting(role)) {
            content += '"';
            content += encodedText(path, role, settings.text(role));
            content += '"';
        } else {
            // A value the reader refuses would turn a successful save into a
            // file that loads only as the defaults.
            const int value = settings.number(role);
            const NumberRange range = acceptedRange(role);
            if (value < range.lowest || value > range.highest)
                throw Failure(writeFailure(
                    path, QStringLiteral("the %1 %2 is not one of %3 to %4")
                              .arg(roleName(role))
                              .arg(value)
                              .arg(range.lowest)
                              .arg(range.highest)));
            content += QByteArray::number(value);
        }
        content += "\r\n";
    }
    return content;
}

// ---------------------------------------------------------------- reading

// Takes the values one after another. A line end ends a value, and so does a
// comma outside quotes; blanks in front of a value are skipped.
class ValueReader
{
public:
    ValueReader(LineFile &lines, const QString &path)
        : m_lines(lines)
        , m_path(path)
    {
    }

    QByteArray next(int valuesTaken)
    {
        if (!m_inLine) {
            if (m_lines.atEnd())
                throw Failure(readFailure(
                    m_path, QStringLiteral("the file ends after %1 of the %2 values")
                                .arg(valuesTaken)
                                .arg(SettingCount)));
            m_line = m_lines.readLine();
            if (m_line.contains('\0'))
                throw Failure(readFailure(
                    m_path, QStringLiteral("line %1 holds binary data").arg(lineNumber())));
            m_position = 0;
            m_inLine = true;
        }
        while (m_position < m_line.size() && isBlank(m_line.at(m_position)))
            ++m_position;
        if (m_position < m_line.size() && m_line.at(m_position) == '"')
            return quotedValue();
        return plainValue();
    }

    int lineNumber() const { return m_lines.lineNumber(); }

private:
    // A quoted value normally ends at the last quote of its line: the writer
    // does not escape quotes, so this is what gives back a text that itself
    // contains a double quote. Only when something other than blanks follows
    // that last quote does the value end at the next quote, the way such a
    // line was always read; the rest up to the next comma is not a value.
    QByteArray quotedValue()
    {
        const qsizetype open = m_position;
        const qsizetype last = m_line.lastIndexOf('"');
        if (last > open && onlyBlanksFrom(last + 1)) {
            m_inLine = false;
            return m_line.mid(open + 1, last - open - 1);
        }
        const qsizetype close = m_line.indexOf('"', open + 1);
        if (close < 0) { // no closing quote: the line end closes it
            m_inLine = false;
            return m_line.mid(open + 1);
        }
        const QByteArray value = m_line.mid(open + 1, close - open - 1);
        continueAfterComma(close + 1);
        return value;
    }

    QByteArray plainValue()
    {
        const qsizetype comma = m_line.indexOf(',', m_position);
        qsizetype end = comma < 0 ? m_line.size() : comma;
        const qsizetype begin = m_position;
        while (end > begin && isBlank(m_line.at(end - 1)))
            --end;
        const QByteArray value = m_line.mid(begin, end - begin);
        continueAfterComma(begin);
        return value;
    }

    void continueAfterComma(qsizetype from)
    {
        const qsizetype comma = m_line.indexOf(',', from);
        if (comma < 0)
            m_inLine = false;
        else
            m_position = comma + 1;
    }

    bool onlyBlanksFrom(qsizetype from) const
    {
        for (qsizetype i = from; i < m_line.size(); ++i)
            if (!isBlank(m_line.at(i)))
                return false;
        return true;
    }

    LineFile &m_lines;
    const QString &m_path;
    QByteArray m_line;
    qsizetype m_position = 0;
    bool m_inLine = false;
};

// A whole number in decimal (optional sign, digits, surrounding blanks), in
// the 16-bit range and among the values the setting accepts.
int settingNumber(const QString &path, int line, SettingRole role, const QByteArray &value)
{
    const QByteArray text = value.trimmed();
    const auto refuse = [&](const QString &why) {
        return Failure(readFailure(path, QStringLiteral("line %1, the %2 \"%3\", %4")
                                             .arg(line)
                                             .arg(roleName(role), shown(value), why)));
    };
    qsizetype digitsFrom = (text.startsWith('-') || text.startsWith('+')) ? 1 : 0;
    bool digitsOnly = text.size() > digitsFrom;
    for (qsizetype i = digitsFrom; i < text.size(); ++i)
        digitsOnly = digitsOnly && text.at(i) >= '0' && text.at(i) <= '9';
    if (!digitsOnly)
        throw refuse(QStringLiteral("is not a whole number"));
    bool fits = false;
    const qlonglong number = text.toLongLong(&fits, 10);
    if (!fits || number < -32768 || number > 32767)
        throw refuse(QStringLiteral("is outside the 16-bit range"));
    const NumberRange range = acceptedRange(role);
    if (number < range.lowest || number > range.highest)
        throw refuse(QStringLiteral("is not one of %1 to %2").arg(range.lowest).arg(range.highest));
    return int(number);
}

} // namespace

void writeSettingsFile(const QString &path, const Settings &settings)
{
    if (path.isEmpty())
        throw Failure(QStringLiteral("Cannot save the settings: no file name given"));
    const QByteArray content = encodedSettings(path, settings);
    if (QFileInfo(path).isDir())
        throw Failure(writeFailure(path, QStringLiteral("it is a folder")));

    // The new content goes to a temporary file beside the old one, which is
    // replaced only by the final rename: a failure at any point before leaves
    // the old file whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(writeFailure(path, file.errorString()));
    if (file.write(content) != content.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw Failure(writeFailure(path, reason));
    }
    if (!file.commit())
        throw Failure(writeFailure(path, file.errorString()));
}

Settings readSettingsFile(const QString &path,
                          const std::function<void(SettingRole, const Settings &)> &onValue)
{
    // Only a regular file, read a chunk at a time: a pipe or a device could
    // block or never end, and only the start of a large file is read.
    LineFile file;
    file.open(path);
    ValueReader values(file, path);
    Settings settings;
    for (int index = 0; index < SettingCount; ++index) {
        const SettingRole role = roleAt(index);
        const QByteArray value = values.next(index);
        if (isTextSetting(role))
            settings.setText(role, QString::fromLocal8Bit(value));
        else
            settings.setNumber(role, settingNumber(path, values.lineNumber(), role, value));
        if (onValue)
            onValue(role, settings);
    }
    return settings;
}

QString loadFailureMessage(const QString &path)
{
    return QStringLiteral("An error occured while loading file ") + path + QStringLiteral(".")
        + QStringLiteral(" The default settings will be loaded instead.");
}

QString saveFailureMessage(const QString &path)
{
    return QStringLiteral("An error occured while saving file ") + path;
}
