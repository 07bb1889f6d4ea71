#include "platform/linux/udev_library.h"

#include <dlfcn.h>

#include <optional>

namespace velmora::linux_backend {

namespace {

template <typename Function>
bool Resolve(void* handle, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(handle, name));
    return function != nullptr;
}

std::optional<UdevLibrary> Load()
{
    void* handle = dlopen("libudev.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!handle) return std::nullopt;
    UdevLibrary library{};
#define VELMORA_UDEV_RESOLVE(name) Resolve(handle, #name, library.name)
    const bool complete =
        VELMORA_UDEV_RESOLVE(udev_new) && VELMORA_UDEV_RESOLVE(udev_unref) &&
        VELMORA_UDEV_RESOLVE(udev_queue_new) && VELMORA_UDEV_RESOLVE(udev_queue_get_udev_is_active) &&
        VELMORA_UDEV_RESOLVE(udev_queue_unref) && VELMORA_UDEV_RESOLVE(udev_monitor_new_from_netlink) &&
        VELMORA_UDEV_RESOLVE(udev_monitor_filter_add_match_subsystem_devtype) &&
        VELMORA_UDEV_RESOLVE(udev_monitor_enable_receiving) && VELMORA_UDEV_RESOLVE(udev_monitor_get_fd) &&
        VELMORA_UDEV_RESOLVE(udev_monitor_receive_device) && VELMORA_UDEV_RESOLVE(udev_monitor_unref) &&
        VELMORA_UDEV_RESOLVE(udev_device_get_action) && VELMORA_UDEV_RESOLVE(udev_device_get_devnode) &&
        VELMORA_UDEV_RESOLVE(udev_device_get_sysname) &&
        VELMORA_UDEV_RESOLVE(udev_device_get_parent_with_subsystem_devtype) &&
        VELMORA_UDEV_RESOLVE(udev_device_get_sysattr_value) &&
        VELMORA_UDEV_RESOLVE(udev_device_get_property_value) && VELMORA_UDEV_RESOLVE(udev_device_unref);
#undef VELMORA_UDEV_RESOLVE
    // The library stays loaded for the life of the process: monitors hold its objects.
    if (!complete) return std::nullopt;
    return library;
}

}  // namespace

const UdevLibrary* Udev()
{
    static const std::optional<UdevLibrary> library = Load();
    return library ? &*library : nullptr;
}

}  // namespace velmora::linux_backend
