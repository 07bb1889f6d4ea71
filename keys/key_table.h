// The twelve control keys: what each press and release writes to register 1.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora {

inline constexpr std::uint32_t KeyRegisterAddress = 0x01;
inline constexpr std::uint8_t KeyCommand = 0x16;
inline constexpr std::uint8_t KeyParam = 0;
// Written when a zoom, focus or function-lock key is let go.
inline constexpr std::uint8_t KeyReleaseCode = 0x16;

struct KeyDefinition {
    std::string_view objectName;  // the button in the form
    std::string_view caption;     // UTF-8
    std::uint8_t pressCode;
    std::optional<std::uint8_t> releaseCode;  // none: the release sends nothing
    bool debugMessages;                       // "pressed()" / "released()"
};

inline constexpr int KeyCount = 12;
inline constexpr int KeySlotCount = 2 * KeyCount;

// In slot order: key i owns slot 2i (pressed) and slot 2i + 1 (released).
inline constexpr std::array<KeyDefinition, KeyCount> Keys{{
    {"NearButton", "直播", 0x01, std::nullopt, true},
    {"FarButton", "常规", 0x02, std::nullopt, true},
    {"Zoom_inButton", "放大", 0x03, KeyReleaseCode, false},
    {"Focus_inButton", "聚焦+", 0x04, KeyReleaseCode, false},
    {"MENUButton", "主菜单", 0x05, std::nullopt, false},
    {"Focus_outButton", "聚焦-", 0x06, KeyReleaseCode, false},
    {"Zoom_outButton", "缩小", 0x07, KeyReleaseCode, false},
    {"AEButton", "自动曝光", 0x08, std::nullopt, true},
    {"AWBButton", "白平衡", 0x09, std::nullopt, true},
    {"lock1Button", "功能锁1", 0x10, KeyReleaseCode, true},
    {"lock2Button", "功能锁2", 0x11, KeyReleaseCode, true},
    {"lock3Button", "功能锁3", 0x12, KeyReleaseCode, true},
}};

// What one of the 24 slots does.
struct KeySlotAction {
    const KeyDefinition* key = nullptr;  // null for an index outside 0..23
    bool press = false;
    std::string_view debugMessage;  // empty: none
    bool writes = false;
    std::uint8_t data = 0;  // the data written when writes is set
};

KeySlotAction KeySlot(int slotIndex);

// The key with this object name, or null.
const KeyDefinition* FindKey(std::string_view objectName);

}  // namespace velmora
