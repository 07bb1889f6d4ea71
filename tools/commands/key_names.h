// The command line's names for the twelve keys.
#pragma once

#include <string>
#include <string_view>

#include "keys/key_table.h"

namespace velmoractl {

// A short name (live, normal, zoom-in, ..., lock3) or a button object name (MENUButton), any
// letter case; null when it names no key.
const velmora::KeyDefinition* FindKeyByName(std::string_view name);

// "live normal zoom-in ... lock3".
std::string KeyNameList();

// The short name of a key.
std::string_view ShortKeyName(const velmora::KeyDefinition& key);

// a == b, ASCII letters in any case.
bool SameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace velmoractl
