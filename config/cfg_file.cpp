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

void LoadUvcExtenConfig(const QString& filePath, XuIdentity& identity)
{
    const QString exId = ReadCfgValue(filePath, "/UvcExten/ExId");
    if (!exId.isEmpty()) {
        bool ok = false;
        const qlonglong node = exId.toLongLong(&ok, 16);
        // The node id is a 32-bit long where the file format comes from: a wider value does not convert.
        if (ok && node >= std::numeric_limits<std::int32_t>::min() &&
            node <= std::numeric_limits<std::int32_t>::max()) {
            identity.exId = static_cast<std::int32_t>(node);
        }
    }

    const QString guidText = ReadCfgValue(filePath, "/UvcExten/Guid");
    if (!guidText.isEmpty()) {
        const QUuid uuid(guidText);
        if (!uuid.isNull()) {
            identity.guid.data1 = uuid.data1;
            identity.guid.data2 = uuid.data2;
            identity.guid.data3 = uuid.data3;
            for (int i = 0; i < 8; ++i) identity.guid.data4[i] = uuid.data4[i];
        }
    }
}

}  // namespace velmora
