/* A virtual Xbox 360 pad through the kernel's uinput, for the e2e VM: the buttons and axes of the xpad
 * driver's pad, driven by commands on standard input, one a line:
 *   button a|b|x|y|lb|rb|back|start|guide|ls|rs 1|0
 *   axis lx|ly|rx|ry|lt|rt|hatx|haty VALUE     (sticks -32768..32767, triggers 0..255, hats -1..1)
 *   quit                                         (the pad is unplugged)
 * Prints "ready /dev/input/eventN" once the pad exists (or its sysfs name when the node is unknown),
 * and "sent t=SECONDS COMMAND" for each command, t the monotonic clock just before the event was
 * written (the simulated camera's trace stamps its lines with the same clock). */
#include <fcntl.h>
#include <linux/uinput.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

struct Name {
    const char* name;
    int code;
};

static const struct Name kButtons[] = {
    {"a", BTN_A},        {"b", BTN_B},       {"x", BTN_X},         {"y", BTN_Y},
    {"lb", BTN_TL},      {"rb", BTN_TR},     {"back", BTN_SELECT}, {"start", BTN_START},
    {"guide", BTN_MODE}, {"ls", BTN_THUMBL}, {"rs", BTN_THUMBR},
};
static const struct Name kAxes[] = {
    {"lx", ABS_X},  {"ly", ABS_Y},  {"lt", ABS_Z},       {"rx", ABS_RX},
    {"ry", ABS_RY}, {"rt", ABS_RZ}, {"hatx", ABS_HAT0X}, {"haty", ABS_HAT0Y},
};

static int Find(const struct Name* names, size_t count, const char* name)
{
    for (size_t i = 0; i < count; ++i) {
        if (strcmp(names[i].name, name) == 0) return names[i].code;
    }
    return -1;
}

static int Emit(int fd, int type, int code, int value)
{
    struct input_event event;
    memset(&event, 0, sizeof event);
    event.type = (unsigned short)type;
    event.code = (unsigned short)code;
    event.value = value;
    return write(fd, &event, sizeof event) == (ssize_t)sizeof event ? 0 : -1;
}

int main(void)
{
    const int fd = open("/dev/uinput", O_WRONLY | O_NONBLOCK);
    if (fd < 0) {
        perror("virtual-pad: /dev/uinput");
        return 1;
    }
    ioctl(fd, UI_SET_EVBIT, EV_KEY);
    ioctl(fd, UI_SET_EVBIT, EV_ABS);
    for (size_t i = 0; i < sizeof kButtons / sizeof kButtons[0]; ++i)
        ioctl(fd, UI_SET_KEYBIT, kButtons[i].code);
    struct uinput_user_dev device;
    memset(&device, 0, sizeof device);
    snprintf(device.name, sizeof device.name, "Microsoft X-Box 360 pad");
    device.id.bustype = BUS_USB;
    device.id.vendor = 0x045e;
    device.id.product = 0x028e;
    device.id.version = 0x0114;
    for (size_t i = 0; i < sizeof kAxes / sizeof kAxes[0]; ++i) {
        const int code = kAxes[i].code;
        ioctl(fd, UI_SET_ABSBIT, code);
        if (code == ABS_Z || code == ABS_RZ) {
            device.absmax[code] = 255;
        } else if (code == ABS_HAT0X || code == ABS_HAT0Y) {
            device.absmin[code] = -1;
            device.absmax[code] = 1;
        } else {
            device.absmin[code] = -32768;
            device.absmax[code] = 32767;
            device.absfuzz[code] = 16;
            device.absflat[code] = 128;
        }
    }
    if (write(fd, &device, sizeof device) != (ssize_t)sizeof device || ioctl(fd, UI_DEV_CREATE) < 0) {
        perror("virtual-pad: creating the device");
        return 1;
    }
    char sysname[64] = "";
    ioctl(fd, UI_GET_SYSNAME(sizeof sysname), sysname);
    printf("ready %s\n", sysname);
    fflush(stdout);

    char line[128];
    while (fgets(line, sizeof line, stdin)) {
        char kind[16], name[16];
        int value = 0;
        if (sscanf(line, "%15s", kind) != 1) continue;
        if (strcmp(kind, "quit") == 0) break;
        if (sscanf(line, "%15s %15s %d", kind, name, &value) != 3) {
            fprintf(stderr, "virtual-pad: bad command: %s", line);
            continue;
        }
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        const int button = strcmp(kind, "button") == 0;
        const int code = button ? Find(kButtons, sizeof kButtons / sizeof kButtons[0], name)
                                : Find(kAxes, sizeof kAxes / sizeof kAxes[0], name);
        if (code < 0 || Emit(fd, button ? EV_KEY : EV_ABS, code, value) < 0 ||
            Emit(fd, EV_SYN, SYN_REPORT, 0) < 0) {
            fprintf(stderr, "virtual-pad: cannot send: %s", line);
            continue;
        }
        printf("sent t=%.6f %s", (double)now.tv_sec + (double)now.tv_nsec / 1e9, line);
        fflush(stdout);
    }
    ioctl(fd, UI_DEV_DESTROY);
    close(fd);
    return 0;
}
