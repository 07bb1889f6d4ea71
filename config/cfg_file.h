// Cfg.ini: the extension unit's identity in an INI file read and written through QSettings.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "config/xu_identity.h"

namespace velmora {

// "<cfgFolder>/Cfg.ini".
QString CfgFilePath(const QString& cfgFolder);

// The value under key ("/UvcExten/ExId") as a string; empty for a missing file or key.
QString ReadCfgValue(const QString& filePath, const QString& key);
// Stores value under key, creating the file.
void WriteCfgValue(const QString& filePath, const QString& key, const QString& value);

// The loading rules for one value each: ExId is hexadecimal ("10" is node 16) and must fit 32 bits;
// Guid is "{8-4-4-4-12}" (braces optional) and must not be the null GUID. nullopt when it does not convert.
std::optional<std::int32_t> CfgExIdFromText(const QString& text);
std::optional<Guid> CfgGuidFromText(const QString& text);

// Takes ExId (hexadecimal: "10" is node 16) and Guid ("{8-4-4-4-12}") from the file into identity.
// Each field is handled on its own and keeps its value when its key is missing, empty or does not
// convert (an ExId outside 32 bits, a Guid that is null or does not parse). Silent on every failure.
void LoadUvcExtenConfig(const QString& filePath, XuIdentity& identity);

}  // namespace velmora
