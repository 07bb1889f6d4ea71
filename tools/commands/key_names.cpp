#include "tools/commands/key_names.h"

#include <array>
#include <cctype>

namespace velmoractl {

namespace {

struct KeyName {
    std::string_view shortName;
    std::string_view objectName;
};

constexpr std::array<KeyName, velmora::KeyCount> kNames{{
    {"live", "NearButton"},
    {"normal", "FarButton"},
    {"zoom-in", "Zoom_inButton"},
    {"focus-in", "Focus_inButton"},
    {"menu", "MENUButton"},
    {"focus-out", "Focus_outButton"},
    {"zoom-out", "Zoom_outButton"},
    {"ae", "AEButton"},
    {"awb", "AWBButton"},
    {"lock1", "lock1Button"},
    {"lock2", "lock2Button"},
    {"lock3", "lock3Button"},
}};

}  // namespace

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

const velmora::KeyDefinition* FindKeyByName(std::string_view name)
{
    for (const KeyName& entry : kNames) {
        if (SameIgnoringCase(name, entry.shortName) || SameIgnoringCase(name, entry.objectName)) {
            return velmora::FindKey(entry.objectName);
        }
    }
    return nullptr;
}

std::string KeyNameList()
{
    std::string list;
    for (const KeyName& entry : kNames) {
        if (!list.empty()) list += ' ';
        list += entry.shortName;
    }
    return list;
}

std::string_view ShortKeyName(const velmora::KeyDefinition& key)
{
    for (const KeyName& entry : kNames) {
        if (entry.objectName == key.objectName) return entry.shortName;
    }
    return {};
}

}  // namespace velmoractl
