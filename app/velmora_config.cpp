#include "app/velmora.h"
#include "config/cfg_file.h"
#include "config/xu_identity.h"

void Velmora::ReadCfgValue(const QString& key, QString& value) const
{
    value = velmora::ReadCfgValue(velmora::CfgFilePath(m_cfgFolder), key);
}

void Velmora::WriteCfgValue(const QString& key, const QString& value) const
{
    velmora::WriteCfgValue(velmora::CfgFilePath(m_cfgFolder), key, value);
}

void Velmora::LoadUvcExtenConfig()
{
    velmora::LoadUvcExtenConfig(velmora::CfgFilePath(m_cfgFolder), velmora::g_xuIdentity);
}
