// Sends WM_DEVICECHANGE to the Velmora window as Windows does when a device interface comes or
// goes: found by its title with FindWindowW, the record passed with SendMessageW (the system copies
// it across processes, dbch_size bytes of it). Used by tests/windows_gui/window-checks.sh.
//
//   velmora-send-device-change find
//       prints the window's handle as 0x... (exit 3 when there is none)
//   velmora-send-device-change close
//       asks the window to close (WM_CLOSE), as its close button does
//   velmora-send-device-change dismiss [TITLE]
//       prints the message of the top-level box of that title ("Warning" without one) and closes it
//       the same way; exit 0 once it is gone (5 s at most)
//   velmora-send-device-change arrival|removal capture|other|short|unterminated
//       capture: a capture interface; other: a HID interface; short: a device-interface record
//       whose dbch_size covers only the header; unterminated: a name without its NUL within dbch_size
#include <windows.h>
// windows.h first: dbt.h needs its types.
#include <dbt.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>

namespace {

const wchar_t kTitle[] = L"UVC\u63a7\u5236\u6309\u952e\u5de5\u5177V1.0.1";

const GUID kCaptureClass = {0x65e8773d, 0x8f56, 0x11d0, {0xa3, 0xb9, 0x00, 0xa0, 0xc9, 0x22, 0x31, 0x96}};
const GUID kHidClass = {0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
const wchar_t kCaptureName[] =
    L"\\\\?\\usb#vid_abcd&pid_ef02&mi_00#7&1f0e0c2&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
const wchar_t kHidName[] =
    L"\\\\?\\hid#vid_046d&pid_c52b&mi_00#8&2a1b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";

// A DEV_BROADCAST_DEVICEINTERFACE_W with its name, in a buffer of whole records.
std::vector<DEV_BROADCAST_DEVICEINTERFACE_W> InterfaceRecord(const GUID& interfaceClass, const wchar_t* name)
{
    const std::size_t nameBytes = (std::wcslen(name) + 1) * sizeof(wchar_t);
    const std::size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + nameBytes;
    std::vector<DEV_BROADCAST_DEVICEINTERFACE_W> buffer(size / sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + 1);
    DEV_BROADCAST_DEVICEINTERFACE_W& record = buffer.front();
    record.dbcc_size = static_cast<DWORD>(size);
    record.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    record.dbcc_classguid = interfaceClass;
    std::memcpy(record.dbcc_name, name, nameBytes);
    return buffer;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: velmora-send-device-change find|close|dismiss [TITLE]\n"
                 "       velmora-send-device-change arrival|removal capture|other|short|unterminated\n");
    return 2;
}

}  // namespace

// Prints the message of the visible box of that title, sends it WM_CLOSE, then waits for it to go.
int DismissBox(const char* title)
{
    const HWND box = FindWindowA(nullptr, title);
    if (!box || !IsWindowVisible(box)) {
        std::fprintf(stderr, "velmora-send-device-change: no %s box\n", title);
        return 3;
    }
    char message[1024] = {};
    GetDlgItemTextA(box, 0xFFFF, message, sizeof message);  // a message box's text
    std::printf("%s\n", message);
    std::fflush(stdout);
    PostMessageW(box, WM_CLOSE, 0, 0);
    for (int i = 0; i < 50; ++i) {
        if (!IsWindow(box) || !IsWindowVisible(box)) return 0;
        Sleep(100);
    }
    return 1;
}

int main(int argc, char** argv)
{
    if (argc < 2) return Usage();
    if (std::strcmp(argv[1], "dismiss") == 0 && argc <= 3) return DismissBox(argc == 3 ? argv[2] : "Warning");
    const HWND window = FindWindowW(nullptr, kTitle);
    if (!window) {
        std::fprintf(stderr, "velmora-send-device-change: no window with the title\n");
        return 3;
    }
    if (std::strcmp(argv[1], "find") == 0 && argc == 2) {
        std::printf("0x%llx\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
        return 0;
    }
    if (std::strcmp(argv[1], "close") == 0 && argc == 2) {
        return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    if (argc != 3) return Usage();

    WPARAM event = 0;
    if (std::strcmp(argv[1], "arrival") == 0) {
        event = DBT_DEVICEARRIVAL;
    } else if (std::strcmp(argv[1], "removal") == 0) {
        event = DBT_DEVICEREMOVECOMPLETE;
    } else {
        return Usage();
    }

    std::vector<DEV_BROADCAST_DEVICEINTERFACE_W> record;
    const char* kind = argv[2];
    if (std::strcmp(kind, "capture") == 0) {
        record = InterfaceRecord(kCaptureClass, kCaptureName);
    } else if (std::strcmp(kind, "other") == 0) {
        record = InterfaceRecord(kHidClass, kHidName);
    } else if (std::strcmp(kind, "short") == 0) {
        record = InterfaceRecord(kCaptureClass, kCaptureName);
        record.front().dbcc_size = sizeof(DEV_BROADCAST_HDR);
    } else if (std::strcmp(kind, "unterminated") == 0) {
        record = InterfaceRecord(kCaptureClass, kCaptureName);
        record.front().dbcc_size -= sizeof(wchar_t);
    } else {
        return Usage();
    }

    SendMessageW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(record.data()));
    std::printf("sent %s %s (dbch_size %lu)\n", argv[1], kind,
                static_cast<unsigned long>(record.front().dbcc_size));
    return 0;
}
