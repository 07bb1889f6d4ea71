#include "app/autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <memory>

namespace velmora {

namespace {

constexpr char kHidden[] = "--hidden";

#if defined(Q_OS_WIN)
const QString kRunKey =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString kRunValue = QStringLiteral("Velmora");

std::unique_ptr<QSettings> RunKey()
{
    return std::make_unique<QSettings>(kRunKey, QSettings::NativeFormat);
}
#else
QString EntryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/") + QLatin1String(kDesktopFileName);
}
#endif

// An Exec argument quoted as desktop entry files ask, where it needs quoting.
QString ExecQuoted(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool plain = !argument.isEmpty();
    for (const QChar c : argument) plain = plain && !reserved.contains(c);
    if (plain) return argument;
    QString quoted = argument;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    for (const char* special : {"\"", "`", "$"}) {
        quoted.replace(QLatin1String(special), QLatin1String("\\") + QLatin1String(special));
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

QString AutostartEntry(const QString& desktopFile, const QString& program)
{
    if (desktopFile.isEmpty()) {
        return QStringLiteral(
                   "[Desktop Entry]\nType=Application\nName=Velmora\nExec=%1 "
                   "%2\nIcon=velmora\nTerminal=false\n")
            .arg(ExecQuoted(program), QLatin1String(kHidden));
    }
    QStringList lines = desktopFile.split(QLatin1Char('\n'));
    bool inEntry = false;
    for (QString& line : lines) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('['))) inEntry = trimmed == QLatin1String("[Desktop Entry]");
        if (!inEntry || !trimmed.startsWith(QLatin1String("Exec="))) continue;
        if (trimmed.split(QLatin1Char(' ')).contains(QLatin1String(kHidden))) continue;
        const int fieldCode = trimmed.indexOf(QLatin1String(" %"));
        line = fieldCode < 0 ? trimmed + QLatin1Char(' ') + QLatin1String(kHidden)
                             : trimmed.left(fieldCode) + QLatin1Char(' ') + QLatin1String(kHidden) +
                                   trimmed.mid(fieldCode);
    }
    return lines.join(QLatin1Char('\n'));
}

#if defined(Q_OS_WIN)

bool AutostartIsOn()
{
    return RunKey()->contains(kRunValue);
}

bool SetAutostart(bool on, QString& error)
{
    const std::unique_ptr<QSettings> run = RunKey();
    if (on) {
        run->setValue(kRunValue, QStringLiteral("\"%1\" %2")
                                     .arg(QDir::toNativeSeparators(QCoreApplication::applicationFilePath()),
                                          QLatin1String(kHidden)));
    } else {
        run->remove(kRunValue);
    }
    run->sync();
    if (run->status() == QSettings::NoError) return true;
    error = QStringLiteral("cannot change %1\\%2").arg(kRunKey, kRunValue);
    return false;
}

QString AutostartLocation()
{
    return kRunKey + QLatin1Char('\\') + kRunValue;
}

#else

bool AutostartIsOn()
{
    return QFileInfo::exists(EntryPath());
}

bool SetAutostart(bool on, QString& error)
{
    const QString path = EntryPath();
    if (!on) {
        if (!QFile::exists(path) || QFile::remove(path)) return true;
        error = QStringLiteral("cannot remove %1").arg(path);
        return false;
    }
    QString desktopFile;
    const QString installed =
        QStandardPaths::locate(QStandardPaths::ApplicationsLocation, QLatin1String(kDesktopFileName));
    QFile source(installed);
    if (!installed.isEmpty() && source.open(QIODevice::ReadOnly))
        desktopFile = QString::fromUtf8(source.readAll());
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile entry(path);
    if (entry.open(QIODevice::WriteOnly) &&
        entry.write(AutostartEntry(desktopFile, QCoreApplication::applicationFilePath()).toUtf8()) >= 0 &&
        entry.commit()) {
        return true;
    }
    error = QStringLiteral("cannot write %1").arg(path);
    return false;
}

QString AutostartLocation()
{
    return EntryPath();
}

#endif

}  // namespace velmora
