// velmora.ini as anyone may have written it: read without failing, each problem on a line of the
// input and shown without control bytes, no combination on two keys; what was read, written out as
// the program writes it, reads back the same with no problem.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "hotkeys/hotkey_settings.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

std::string Written(const velmora::HotkeySettings& settings)
{
    std::string text = "[hotkeys]\nenabled=" + std::string(settings.enabled ? "true" : "false") + "\n";
    for (int key = 0; key < velmora::KeyCount; ++key) {
        const velmora::KeyHotkey& hotkey = settings.keys[static_cast<std::size_t>(key)];
        if (!hotkey.set) continue;
        text += std::string(velmora::HotkeySettingName(key)) + "=" +
                (hotkey.combination ? velmora::CombinationText(*hotkey.combination) : "") + "\n";
    }
    return text + "[window]\nhide-message-shown=" + (settings.hideMessageShown ? "true" : "false") + "\n";
}

bool Same(const velmora::HotkeySettings& a, const velmora::HotkeySettings& b)
{
    if (a.enabled != b.enabled || a.hideMessageShown != b.hideMessageShown) return false;
    for (std::size_t i = 0; i < a.keys.size(); ++i) {
        if (a.keys[i].set != b.keys[i].set || a.keys[i].combination != b.keys[i].combination) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const velmora::SettingsFileRead read = velmora::ReadHotkeySettings(text);
    std::size_t lines = 1;
    for (char c : text) lines += c == '\n';
    for (const velmora::SettingsProblem& problem : read.problems) {
        FUZZ_CHECK(problem.line >= 1 && static_cast<std::size_t>(problem.line) <= lines);
        FUZZ_CHECK(problem.text.size() <= 83);
        for (char c : problem.text) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
    }
    for (std::size_t i = 0; i < read.settings.keys.size(); ++i) {
        for (std::size_t j = i + 1; j < read.settings.keys.size(); ++j) {
            const auto& a = read.settings.keys[i].combination;
            FUZZ_CHECK(!a || a != read.settings.keys[j].combination);
        }
    }
    const velmora::SettingsFileRead again = velmora::ReadHotkeySettings(Written(read.settings));
    FUZZ_CHECK(again.problems.empty());
    FUZZ_CHECK(Same(again.settings, read.settings));
    return 0;
}
