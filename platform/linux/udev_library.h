// libudev, loaded on first use: a program that never watches devices (a velmoractl one-shot) does not
// pay for loading it at start-up.
#pragma once

#include <libudev.h>

namespace velmora::linux_backend {

struct UdevLibrary {
    decltype(&::udev_new) udev_new;
    decltype(&::udev_unref) udev_unref;
    decltype(&::udev_queue_new) udev_queue_new;
    decltype(&::udev_queue_get_udev_is_active) udev_queue_get_udev_is_active;
    decltype(&::udev_queue_unref) udev_queue_unref;
    decltype(&::udev_monitor_new_from_netlink) udev_monitor_new_from_netlink;
    decltype(&::udev_monitor_filter_add_match_subsystem_devtype)
        udev_monitor_filter_add_match_subsystem_devtype;
    decltype(&::udev_monitor_enable_receiving) udev_monitor_enable_receiving;
    decltype(&::udev_monitor_get_fd) udev_monitor_get_fd;
    decltype(&::udev_monitor_receive_device) udev_monitor_receive_device;
    decltype(&::udev_monitor_unref) udev_monitor_unref;
    decltype(&::udev_device_get_action) udev_device_get_action;
    decltype(&::udev_device_get_devnode) udev_device_get_devnode;
    decltype(&::udev_device_get_sysname) udev_device_get_sysname;
    decltype(&::udev_device_get_parent_with_subsystem_devtype) udev_device_get_parent_with_subsystem_devtype;
    decltype(&::udev_device_get_sysattr_value) udev_device_get_sysattr_value;
    decltype(&::udev_device_get_property_value) udev_device_get_property_value;
    decltype(&::udev_device_unref) udev_device_unref;
};

// libudev.so.1's functions, loaded once and kept; null when the library or one of them is missing.
const UdevLibrary* Udev();

}  // namespace velmora::linux_backend
