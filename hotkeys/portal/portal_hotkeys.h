// Hotkeys on Wayland: the desktop portal's GlobalShortcuts interface over D-Bus. The application is
// registered under its desktop file's id, a session is created and the combinations are offered as
// the shortcuts' preferred triggers (the desktop decides, and may ask the user); Activated and
// Deactivated are the press and the release.
#pragma once

#include <QDBusMessage>
#include <QObject>
#include <QString>

#include <vector>

#include "hotkeys/hotkey_source.h"

namespace velmora::portal {

inline constexpr char kAppId[] = "io.github.velmora.velmora";

// Said in the settings and on the debug channel where the portal lacks the interface.
extern const char* const kNoGlobalShortcutsMessage;
extern const char* const kNoPortalMessage;

class PortalHotkeys : public QObject, public HotkeySource {
    Q_OBJECT

public:
    PortalHotkeys();
    ~PortalHotkeys() override;

    std::string Name() const override { return "desktop portal"; }
    std::string Ability() const override;
    void Start(const std::vector<HotkeyBinding>& bindings, Events events) override;
    void Stop() override;

private Q_SLOTS:
    void OnActivated(const QDBusMessage& message);
    void OnDeactivated(const QDBusMessage& message);
    void OnResponse(const QDBusMessage& message);

private:
    enum class Waiting { Nothing, Session, Bind };

    void CreateSession();
    void BindShortcuts();
    // Listens for the Response of the request a call returns; path is the one it will have.
    void ExpectResponse(const QString& path, Waiting waiting);
    void ForgetResponse();
    void Report(BindingState state, const std::string& detail);
    int BindingId(const QDBusMessage& message) const;

    std::vector<HotkeyBinding> m_bindings;
    Events m_events;
    QString m_session;
    QString m_requestPath;
    Waiting m_waiting = Waiting::Nothing;
    int m_generation = 0;  // calls answered after a Stop() are dropped
};

}  // namespace velmora::portal
