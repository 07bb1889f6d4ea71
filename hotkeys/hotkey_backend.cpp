#include "hotkeys/hotkey_backend.h"

#include <QGuiApplication>
#include <QString>

#if defined(VELMORA_HOTKEYS_WINDOWS)
#include "hotkeys/windows/windows_hotkeys.h"
#endif
#if defined(VELMORA_HOTKEYS_X11)
#include "hotkeys/x11/x11_hotkeys.h"
#endif
#if defined(VELMORA_HOTKEYS_PORTAL)
#include "hotkeys/portal/portal_hotkeys.h"
#endif

namespace velmora {

namespace {

std::function<std::unique_ptr<HotkeySource>()>& Factory()
{
    static std::function<std::unique_ptr<HotkeySource>()> factory;
    return factory;
}

// Where no adapter works: says why when started.
class NoHotkeys : public HotkeySource {
public:
    explicit NoHotkeys(std::string why) : m_why(std::move(why)) {}
    std::string Name() const override { return "none"; }
    std::string Ability() const override { return m_why; }
    void Start(const std::vector<HotkeyBinding>&, Events events) override
    {
        if (events.unavailable) events.unavailable(m_why);
    }
    void Stop() override {}

private:
    std::string m_why;
};

#if !defined(VELMORA_HOTKEYS_WINDOWS)
bool WaylandSession()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ||
           qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}
#endif

std::unique_ptr<HotkeySource> Make(const QString& name)
{
#if defined(VELMORA_HOTKEYS_WINDOWS)
    if (name == QLatin1String("windows")) return std::make_unique<windows::WindowsHotkeys>();
#endif
#if defined(VELMORA_HOTKEYS_X11)
    if (name == QLatin1String("x11")) return std::make_unique<x11::X11Hotkeys>();
#endif
#if defined(VELMORA_HOTKEYS_PORTAL)
    if (name == QLatin1String("portal")) return std::make_unique<portal::PortalHotkeys>();
#endif
    if (name == QLatin1String("none"))
        return std::make_unique<NoHotkeys>("hotkeys are turned off here (VELMORA_HOTKEY_BACKEND=none)");
    return std::make_unique<NoHotkeys>("this build has no hotkey backend \"" + name.toStdString() + "\"");
}

}  // namespace

std::unique_ptr<HotkeySource> CreateHotkeySource()
{
    if (Factory()) return Factory()();
    const QString chosen = qEnvironmentVariable("VELMORA_HOTKEY_BACKEND");
    if (!chosen.isEmpty()) return Make(chosen);
#if defined(VELMORA_HOTKEYS_WINDOWS)
    return Make(QStringLiteral("windows"));
#else
    if (WaylandSession()) return Make(QStringLiteral("portal"));
    if (QGuiApplication::platformName() == QLatin1String("xcb")) return Make(QStringLiteral("x11"));
    return std::make_unique<NoHotkeys>("no system-wide hotkeys on Qt's \"" +
                                       QGuiApplication::platformName().toStdString() + "\" platform");
#endif
}

void InstallHotkeySourceFactory(std::function<std::unique_ptr<HotkeySource>()> factory)
{
    Factory() = std::move(factory);
}

}  // namespace velmora
