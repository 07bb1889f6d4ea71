#include "hotkeys/portal/portal_hotkeys.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QList>
#include <QVariantMap>

namespace velmora::portal {

const char* const kNoGlobalShortcutsMessage =
    "this desktop's portal has no GlobalShortcuts interface, so hotkeys cannot work here; bind the "
    "desktop's own keyboard shortcuts to \"velmoractl key NAME click\" instead (a click, not a hold; see "
    "the README)";

const char* const kNoPortalMessage =
    "there is no desktop portal on the D-Bus session bus, so hotkeys cannot work here; bind the desktop's "
    "own keyboard shortcuts to \"velmoractl key NAME click\" instead (a click, not a hold; see the README)";

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

// One shortcut of BindShortcuts and of its answer: (sa{sv}).
struct PortalShortcut {
    QString id;
    QVariantMap options;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.options;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.options;
    argument.endStructure();
    return argument;
}

}  // namespace
}  // namespace velmora::portal

Q_DECLARE_METATYPE(velmora::portal::PortalShortcut)

namespace velmora::portal {

namespace {

QDBusConnection Bus()
{
    return QDBusConnection::sessionBus();
}

// The path the portal gives a request or session made with this token.
QString HandlePath(const char* kind, const QString& token)
{
    QString sender = Bus().baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPath + QLatin1Char('/') + QLatin1String(kind) + QLatin1Char('/') + sender + QLatin1Char('/') +
           token;
}

QString Token(const char* what, int generation)
{
    static int counter = 0;
    return QStringLiteral("velmora_%1_%2_%3").arg(QLatin1String(what)).arg(generation).arg(++counter);
}

// An object path sent as 'o' or as 's'.
QString PathText(const QVariant& value)
{
    if (value.userType() == qMetaTypeId<QDBusObjectPath>()) return value.value<QDBusObjectPath>().path();
    return value.toString();
}

}  // namespace

PortalHotkeys::PortalHotkeys()
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
}

PortalHotkeys::~PortalHotkeys()
{
    Stop();
}

std::string PortalHotkeys::Ability() const
{
    return "each shortcut holds its key as long as it is held down (the desktop portal's GlobalShortcuts; "
           "the "
           "desktop may ask to confirm the combinations, or choose others)";
}

void PortalHotkeys::Start(const std::vector<HotkeyBinding>& bindings, Events events)
{
    Stop();
    m_bindings = bindings;
    m_events = std::move(events);
    QDBusConnection bus = Bus();
    if (!bus.isConnected()) {
        const auto unavailable = m_events.unavailable;
        if (unavailable) unavailable("there is no D-Bus session bus to reach the desktop portal");
        return;
    }
    // Names the application to a portal that does not know it from its sandbox or its unit: first,
    // before any other call. Older portals lack the interface; that is fine.
    QDBusMessage registration = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.host.portal.Registry"), QStringLiteral("Register"));
    registration << QString::fromLatin1(kAppId) << QVariantMap();
    bus.asyncCall(registration);

    bus.connect(kService, kPath, kShortcuts, QStringLiteral("Activated"), this,
                SLOT(OnActivated(QDBusMessage)));
    bus.connect(kService, kPath, kShortcuts, QStringLiteral("Deactivated"), this,
                SLOT(OnDeactivated(QDBusMessage)));

    QDBusMessage version = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    version << kShortcuts << QStringLiteral("version");
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(version), this);
    const int generation = m_generation;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != m_generation) return;
        if (watcher->isError()) {
            const bool noPortal = watcher->error().type() == QDBusError::ServiceUnknown;
            const auto unavailable = m_events.unavailable;
            Stop();
            if (unavailable) unavailable(noPortal ? kNoPortalMessage : kNoGlobalShortcutsMessage);
            return;
        }
        CreateSession();
    });
    Report(BindingState::Pending, {});
}

void PortalHotkeys::Stop()
{
    ++m_generation;
    ForgetResponse();
    QDBusConnection bus = Bus();
    bus.disconnect(kService, kPath, kShortcuts, QStringLiteral("Activated"), this,
                   SLOT(OnActivated(QDBusMessage)));
    bus.disconnect(kService, kPath, kShortcuts, QStringLiteral("Deactivated"), this,
                   SLOT(OnDeactivated(QDBusMessage)));
    if (!m_session.isEmpty()) {
        bus.asyncCall(QDBusMessage::createMethodCall(
            kService, m_session, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close")));
        m_session.clear();
    }
    m_events = {};
    m_bindings.clear();
}

void PortalHotkeys::ExpectResponse(const QString& path, Waiting waiting)
{
    ForgetResponse();
    m_requestPath = path;
    m_waiting = waiting;
    Bus().connect(kService, path, kRequest, QStringLiteral("Response"), this, SLOT(OnResponse(QDBusMessage)));
}

void PortalHotkeys::ForgetResponse()
{
    if (m_requestPath.isEmpty()) return;
    Bus().disconnect(kService, m_requestPath, kRequest, QStringLiteral("Response"), this,
                     SLOT(OnResponse(QDBusMessage)));
    m_requestPath.clear();
    m_waiting = Waiting::Nothing;
}

void PortalHotkeys::CreateSession()
{
    const QString token = Token("request", m_generation);
    ExpectResponse(HandlePath("request", token), Waiting::Session);
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kShortcuts, QStringLiteral("CreateSession"));
    call << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("session_handle_token"), Token("session", m_generation)}};
    Bus().asyncCall(call);
}

void PortalHotkeys::BindShortcuts()
{
    QList<PortalShortcut> shortcuts;
    for (const HotkeyBinding& binding : m_bindings) {
        shortcuts.append({QString::fromStdString(binding.name),
                          {{QStringLiteral("description"), QString::fromStdString(binding.description)},
                           {QStringLiteral("preferred_trigger"),
                            QString::fromStdString(PortalTrigger(binding.combination))}}});
    }
    const QString token = Token("request", m_generation);
    ExpectResponse(HandlePath("request", token), Waiting::Bind);
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kShortcuts, QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariant::fromValue(shortcuts) << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token}};
    Bus().asyncCall(call);
}

void PortalHotkeys::OnResponse(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    const Waiting waiting = m_waiting;
    ForgetResponse();
    if (arguments.size() < 2) return;
    const uint response = arguments[0].toUInt();
    const QVariantMap results = qdbus_cast<QVariantMap>(arguments[1]);
    if (response != 0) {
        Report(BindingState::Failed,
               response == 1 ? "not allowed on the desktop" : "the desktop portal refused it");
        return;
    }
    if (waiting == Waiting::Session) {
        m_session = PathText(results.value(QStringLiteral("session_handle")));
        if (m_session.isEmpty()) {
            Report(BindingState::Failed, "the desktop portal gave no session");
            return;
        }
        BindShortcuts();
        return;
    }
    if (waiting != Waiting::Bind) return;
    QList<PortalShortcut> bound;
    const QVariant shortcuts = results.value(QStringLiteral("shortcuts"));
    if (shortcuts.canConvert<QDBusArgument>())
        bound = qdbus_cast<QList<PortalShortcut>>(shortcuts.value<QDBusArgument>());
    std::vector<BindingStatus> statuses;
    for (const HotkeyBinding& binding : m_bindings) {
        BindingStatus status{binding.id, BindingState::Failed, "the desktop did not bind it"};
        for (const PortalShortcut& shortcut : bound) {
            if (shortcut.id.toStdString() != binding.name) continue;
            status.state = BindingState::Bound;
            status.detail =
                shortcut.options.value(QStringLiteral("trigger_description")).toString().toStdString();
        }
        statuses.push_back(status);
    }
    const auto report = m_events.statuses;
    if (report) report(statuses);
}

int PortalHotkeys::BindingId(const QDBusMessage& message) const
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2 || m_session.isEmpty() || PathText(arguments[0]) != m_session) return -1;
    const std::string name = arguments[1].toString().toStdString();
    for (const HotkeyBinding& binding : m_bindings) {
        if (binding.name == name) return binding.id;
    }
    return -1;
}

void PortalHotkeys::OnActivated(const QDBusMessage& message)
{
    const int id = BindingId(message);
    const auto down = m_events.down;
    if (id >= 0 && down) down(id, 0);
}

void PortalHotkeys::OnDeactivated(const QDBusMessage& message)
{
    const int id = BindingId(message);
    const auto up = m_events.up;
    if (id >= 0 && up) up(id, 0);
}

void PortalHotkeys::Report(BindingState state, const std::string& detail)
{
    std::vector<BindingStatus> statuses;
    for (const HotkeyBinding& binding : m_bindings) statuses.push_back({binding.id, state, detail});
    const auto report = m_events.statuses;
    if (report) report(statuses);
}

}  // namespace velmora::portal
