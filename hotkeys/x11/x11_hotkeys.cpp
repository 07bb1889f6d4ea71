#include "hotkeys/x11/x11_hotkeys.h"

#include <cstdlib>

namespace velmora::x11 {

namespace {

constexpr std::uint8_t kBadAccess = 10;
constexpr std::uint16_t kRelevantModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

std::uint16_t ModifierMask(unsigned modifiers)
{
    std::uint16_t mask = 0;
    if (modifiers & ModifierCtrl) mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & ModifierAlt) mask |= XCB_MOD_MASK_1;
    if (modifiers & ModifierShift) mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & ModifierMeta) mask |= XCB_MOD_MASK_4;
    return mask;
}

}  // namespace

X11Hotkeys::~X11Hotkeys()
{
    Stop();
}

std::string X11Hotkeys::Ability() const
{
    std::string ability =
        "each combination holds its key as long as it is held down (passive grabs on the X display";
    if (!m_connection) return ability + ")";
    if (m_detectable) return ability + "; auto-repeat reported as presses only)";
    return ability + "; this X server repeats a held key as a release and a press, so a release waits 50 ms)";
}

bool X11Hotkeys::Connect()
{
    if (m_connection && !xcb_connection_has_error(m_connection.get())) return true;
    m_notifier.reset();
    int screenNumber = 0;
    m_connection.reset(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(m_connection.get())) {
        m_connection.reset();
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection.get()));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    m_root = screens.data->root;
    m_detectable = RequestDetectableAutoRepeat(m_connection.get());
    m_numLock = ModifierMaskOf(m_connection.get(), KeysymNumLock);
    m_notifier =
        std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_connection.get()), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { Dispatch(); });
    return true;
}

std::vector<std::uint16_t> X11Hotkeys::LockVariants(std::uint16_t modifiers) const
{
    std::vector<std::uint16_t> variants{modifiers, static_cast<std::uint16_t>(modifiers | XCB_MOD_MASK_LOCK)};
    if (m_numLock != 0 && !(m_numLock & kRelevantModifiers)) {
        variants.push_back(modifiers | m_numLock);
        variants.push_back(modifiers | m_numLock | XCB_MOD_MASK_LOCK);
    }
    return variants;
}

BindingStatus X11Hotkeys::GrabBinding(const HotkeyBinding& binding)
{
    xcb_connection_t* connection = m_connection.get();
    const std::vector<xcb_keycode_t> keycodes = KeycodesFor(connection, binding.combination.Key().x11Keysym);
    if (keycodes.empty()) return {binding.id, BindingState::NoKey, "this keyboard has no such key"};
    const std::uint16_t modifiers = ModifierMask(binding.combination.modifiers);
    std::vector<xcb_void_cookie_t> cookies;
    for (xcb_keycode_t keycode : keycodes) {
        for (std::uint16_t variant : LockVariants(modifiers)) {
            cookies.push_back(xcb_grab_key_checked(connection, 0, m_root, variant, keycode,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
    }
    bool taken = false;
    bool failed = false;
    for (const xcb_void_cookie_t cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
            (error->error_code == kBadAccess ? taken : failed) = true;
            std::free(error);
        }
    }
    if (taken || failed) {
        // Only this client's own grabs go; another program's stay.
        for (xcb_keycode_t keycode : keycodes) {
            for (std::uint16_t variant : LockVariants(modifiers))
                xcb_ungrab_key(connection, keycode, m_root, variant);
        }
        xcb_flush(connection);
        if (taken) return {binding.id, BindingState::Taken, "another program has it"};
        return {binding.id, BindingState::Failed, "the X server refused it"};
    }
    for (xcb_keycode_t keycode : keycodes) m_grabs.push_back({binding.id, keycode, modifiers});
    return {binding.id, BindingState::Bound, {}};
}

void X11Hotkeys::Start(const std::vector<HotkeyBinding>& bindings, Events events)
{
    Stop();
    m_events = std::move(events);
    if (!Connect()) {
        const auto unavailable = m_events.unavailable;
        if (unavailable) unavailable("cannot reach the X display (DISPLAY)");
        return;
    }
    std::vector<BindingStatus> statuses;
    for (const HotkeyBinding& binding : bindings) statuses.push_back(GrabBinding(binding));
    xcb_flush(m_connection.get());
    const auto report = m_events.statuses;
    if (report) report(statuses);
    Dispatch();  // events read while waiting for the replies above
}

void X11Hotkeys::Stop()
{
    m_events = {};
    if (!m_connection) return;
    for (const Grab& grab : m_grabs) {
        for (std::uint16_t variant : LockVariants(grab.modifiers)) {
            xcb_ungrab_key(m_connection.get(), grab.keycode, m_root, variant);
        }
    }
    m_grabs.clear();
    xcb_flush(m_connection.get());
}

void X11Hotkeys::Dispatch()
{
    xcb_connection_t* connection = m_connection.get();
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
        const std::uint8_t type = event->response_type & 0x7f;
        if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
            const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
            // Copies: a callback may Stop(), which clears both.
            const std::vector<Grab> grabs = m_grabs;
            const Events events = m_events;
            for (const Grab& grab : grabs) {
                if (grab.keycode != key->detail) continue;
                if (type == XCB_KEY_PRESS && (key->state & kRelevantModifiers) == grab.modifiers) {
                    if (events.down) events.down(grab.id, key->time);
                } else if (type == XCB_KEY_RELEASE) {
                    // Whatever modifiers are still down: the key itself came up.
                    if (events.up) events.up(grab.id, key->time);
                }
            }
        }
        std::free(event);
    }
    if (xcb_connection_has_error(connection)) {
        m_notifier->setEnabled(false);
        m_grabs.clear();
        const auto unavailable = m_events.unavailable;
        if (unavailable) unavailable("lost the connection to the X display");
    }
}

}  // namespace velmora::x11
