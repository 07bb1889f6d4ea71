#include "config/cfg_file.h"

#include <QSettings>
#include <QUuid>
#include <limits>

namespace velmora {

QString CfgFilePath(const QString& cfgFolder)
{
    return cfgFolder + "/Cfg.ini";
}

QString ReadCfgValue(const QString& filePath, const QString& key)
{
    const QSettings settings(filePath, QSettings::IniFormat);
    return settings.value(key, QVariant()).toString();
}

void WriteCfgValue(const QString& filePath, const QString& key, const QString& value)
{
    QSettings settings(filePath, QSettings::IniFormat);
    settings.setValue(key, value);
}

std::optional<std::int32_t> CfgExIdFromText(const QString& text)
{
    bool ok = false;
    const qlonglong node = text.toLongLong(&ok, 16);
    // The node id is a 32-bit long where the file format comes from: a wider value does not convert.
    if (!ok || node < std::numeric_limits<std::int32_t>::min() ||
        node > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(node);
}

std::optional<Guid> CfgGuidFromText(const QString& text)
{
    const QUuid uuid(text);
    if (uuid.isNull()) return std::nullopt;
    Guid guid;
    guid.data1 = uuid.data1;
    guid.data2 = uuid.data2;
    guid.data3 = uuid.data3;
    for (int i = 0; i < 8; ++i) guid.data4[i] = uuid.data4[i];
    return guid;
}

void LoadUvcExtenConfig(const QString& filePath, XuIdentity& identity)
{
    // One read of the file for both keys.
    const QSettings settings(filePath, QSettings::IniFormat);
    const QString exId = settings.value("/UvcExten/ExId", QVariant()).toString();
    if (!exId.isEmpty()) {
        if (const auto node = CfgExIdFromText(exId)) identity.exId = *node;
    }
    const QString guidText = settings.value("/UvcExten/Guid", QVariant()).toString();
    if (!guidText.isEmpty()) {
        if (const auto guid = CfgGuidFromText(guidText)) identity.guid = *guid;
    }
}

}  // namespace velmora
