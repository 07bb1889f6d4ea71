#include "app/user_settings.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <memory>

namespace velmora {

namespace {

constexpr qint64 kLargestFile = 1 << 20;

std::unique_ptr<QSettings> OpenSettings()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("velmora"),
                                       QStringLiteral("velmora"));
}

}  // namespace

QString UserSettingsPath()
{
    return OpenSettings()->fileName();
}

UserSettings LoadUserSettings()
{
    UserSettings loaded;
    QFile file(UserSettingsPath());
    if (!file.open(QIODevice::ReadOnly)) return loaded;
    const QByteArray text = file.read(kLargestFile);
    const SettingsFileRead read =
        ReadHotkeySettings(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    loaded.settings = read.settings;
    const QString name = QFileInfo(file.fileName()).fileName();
    for (const SettingsProblem& problem : read.problems) {
        loaded.problems.append(name + QLatin1Char(' ') + QString::fromStdString(ProblemText(problem)));
        qDebug().noquote() << QStringLiteral("%1: not read: %2")
                                  .arg(file.fileName(), QString::fromStdString(ProblemText(problem)));
    }
    return loaded;
}

bool SaveUserSettings(const HotkeySettings& settings)
{
    const std::unique_ptr<QSettings> opened = OpenSettings();
    QSettings& file = *opened;
    file.remove(QStringLiteral("hotkeys"));
    file.beginGroup(QStringLiteral("hotkeys"));
    file.setValue(QStringLiteral("enabled"), settings.enabled);
    for (int key = 0; key < KeyCount; ++key) {
        const KeyHotkey& hotkey = settings.keys[static_cast<std::size_t>(key)];
        if (!hotkey.set) continue;
        const QString value = hotkey.combination
                                  ? QString::fromStdString(CombinationText(*hotkey.combination))
                                  : QStringLiteral("");
        file.setValue(QString::fromLatin1(HotkeySettingName(key).data(),
                                          static_cast<int>(HotkeySettingName(key).size())),
                      value);
    }
    file.endGroup();
    file.remove(QStringLiteral("macros"));
    file.beginGroup(QStringLiteral("macros"));
    for (const MacroHotkey& macro : settings.macros)
        file.setValue(QString::fromStdString(macro.name),
                      QString::fromStdString(CombinationText(macro.combination)));
    file.endGroup();
    file.setValue(QStringLiteral("window/hide-message-shown"), settings.hideMessageShown);
    file.sync();
    return file.status() == QSettings::NoError;
}

}  // namespace velmora
