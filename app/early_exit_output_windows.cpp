#include <memory>

#include "app/early_exit_output.h"
#include "platform/windows/utf16.h"
#include "platform/windows/windows_headers.h"

namespace velmora {

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

std::wstring Wide(const std::string& text)
{
    const std::u16string utf16 = windows::Utf8ToUtf16(text);
    return std::wstring(utf16.begin(), utf16.end());
}

// A console takes the text as UTF-16; a file or a pipe gets UTF-8 with the CRLF line ends a
// console program's standard output writes.
bool WriteAll(HANDLE handle, const std::string& text)
{
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = Wide(text);
        DWORD written = 0;
        return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) &&
               written == wide.size();
    }
    std::string bytes;
    for (const char c : text) {
        if (c == '\n') bytes += '\r';
        bytes += c;
    }
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                       nullptr) ||
            written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

bool WriteToStandardOutput(const std::string& text)
{
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    return output != nullptr && output != INVALID_HANDLE_VALUE && GetFileType(output) != FILE_TYPE_UNKNOWN &&
           WriteAll(output, text);
}

// The starting program's prompt may already stand on the line: the text starts on a new one.
bool WriteToParentConsole(const std::string& text)
{
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    bool written = false;
    if (const HANDLE raw =
            CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
        raw != INVALID_HANDLE_VALUE) {
        const UniqueHandle console(raw);
        written = WriteAll(console.get(), "\n" + text);
    }
    FreeConsole();
    return written;
}

}  // namespace

void ShowEarlyExitText(const std::string& text)
{
    if (WriteToStandardOutput(text) || WriteToParentConsole(text)) return;
    MessageBoxW(nullptr, Wide(text).c_str(), L"Velmora", MB_OK | MB_ICONINFORMATION);
}

}  // namespace velmora
