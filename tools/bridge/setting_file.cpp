#include "tools/bridge/setting_file.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace velmora::bridge {

std::string ReadSettingFile(const std::string& path, std::size_t maxBytes, std::string& text)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error) return "cannot be read: " + error.message();
    if (std::filesystem::is_directory(status)) return "is a directory, not a file";
    // A device or a pipe could go on for ever (/dev/zero) or never end.
    if (!std::filesystem::is_regular_file(status)) return "is not a regular file";
    std::ifstream file(path, std::ios::binary);
    if (!file) return "cannot be read";
    text.assign(maxBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad()) return "cannot be read";
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.size() > maxBytes) return "is larger than " + std::to_string(maxBytes) + " bytes";
    return {};
}

std::string_view WithoutUtf8Mark(std::string_view text)
{
    constexpr std::string_view kMark = "\xEF\xBB\xBF";
    if (text.substr(0, kMark.size()) == kMark) text.remove_prefix(kMark.size());
    return text;
}

}  // namespace velmora::bridge
