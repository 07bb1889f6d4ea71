#include "app/hotkey_controller.h"

#include <QDebug>
#include <QEvent>
#include <QPushButton>

#include "hotkeys/hotkey_backend.h"
#include "hotkeys/hotkey_settings.h"

namespace {

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

}  // namespace

HotkeyController::HotkeyController(const QVector<KeypadKey>& keys, KeypadKeyboard* keyboard, QObject* parent)
    : QObject(parent), m_keyboard(keyboard)
{
    for (const KeypadKey& key : keys) {
        const velmora::KeyDefinition* definition = velmora::FindKey(key.button->objectName().toStdString());
        if (definition) m_buttons[static_cast<std::size_t>(definition - velmora::Keys.data())] = key.button;
    }
    m_clock.start();
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { Act(m_hold.Tick(m_clock.elapsed())); });
}

HotkeyController::~HotkeyController()
{
    Unbind();
}

velmora::HotkeySource& HotkeyController::Source()
{
    if (!m_source) m_source = velmora::CreateHotkeySource();
    return *m_source;
}

QString HotkeyController::SourceName()
{
    return Text(Source().Name());
}

QString HotkeyController::Ability()
{
    return Text(Source().Ability());
}

void HotkeyController::SetCombinations(const Combinations& combinations)
{
    m_combinations = combinations;
    if (m_bound) Bind();
}

void HotkeyController::SetMacroCombinations(std::vector<velmora::MacroHotkey> macros)
{
    m_macros = std::move(macros);
    if (m_bound) Bind();
}

void HotkeyController::SetEnabled(bool on)
{
    if (on == m_enabled) return;
    m_enabled = on;
    if (on && !m_suspended) {
        Bind();
    } else {
        Unbind();
    }
    Q_EMIT Changed();
}

void HotkeyController::Suspend(bool suspended)
{
    if (suspended == m_suspended) return;
    m_suspended = suspended;
    if (suspended) {
        Unbind();
    } else if (m_enabled) {
        Bind();
    }
}

void HotkeyController::LetGo()
{
    Act(m_hold.EndHold());
}

void HotkeyController::Bind()
{
    Unbind();
    std::vector<velmora::BindingStatus> statuses;
    std::vector<velmora::HotkeyBinding> bindings;
    for (int key = 0; key < velmora::KeyCount; ++key) {
        m_statuses[static_cast<std::size_t>(key)] = {key, velmora::BindingState::Failed, "no combination"};
        const auto& combination = m_combinations[static_cast<std::size_t>(key)];
        if (!combination || !m_buttons[static_cast<std::size_t>(key)]) continue;
        const velmora::KeyDefinition& definition = velmora::Keys[static_cast<std::size_t>(key)];
        const std::string name(velmora::HotkeySettingName(key));
        bindings.push_back({key,
                            *combination,
                            {velmora::HotkeyTarget::Kind::Key, key},
                            name,
                            "Velmora: " + name + " (" + std::string(definition.caption) + ")"});
        m_statuses[static_cast<std::size_t>(key)] = {key, velmora::BindingState::Pending, {}};
    }
    for (std::size_t i = 0; i < m_macros.size(); ++i) {
        const std::string& name = m_macros[i].name;
        bindings.push_back({velmora::KeyCount + static_cast<int>(i),
                            m_macros[i].combination,
                            {velmora::HotkeyTarget::Kind::Macro, -1},
                            "macro-" + name,
                            "Velmora: macro " + name});
    }
    m_unavailable.clear();
    m_bound = true;
    velmora::HotkeySource& source = Source();
    m_hold.SetSettleMs(source.ReleaseSettleMs());
    velmora::HotkeySource::Events events;
    events.down = [this](int id, std::uint32_t time) {
        if (id < velmora::KeyCount) return Act(m_hold.Down(id, time, m_clock.elapsed()));
        const auto macro = static_cast<std::size_t>(id - velmora::KeyCount);
        if (macro < m_macros.size()) Q_EMIT MacroRequested(QString::fromStdString(m_macros[macro].name));
    };
    events.up = [this](int id, std::uint32_t time) {
        if (id < velmora::KeyCount) Act(m_hold.Up(id, time, m_clock.elapsed()));
    };
    events.statuses = [this](const std::vector<velmora::BindingStatus>& statuses) { OnStatuses(statuses); };
    events.unavailable = [this](const std::string& message) { OnUnavailable(message); };
    source.Start(bindings, std::move(events));
    // The X server's answer to detectable auto-repeat is known once the adapter has connected.
    m_hold.SetSettleMs(source.ReleaseSettleMs());
}

void HotkeyController::Unbind()
{
    Act(m_hold.Stop());
    if (m_source && m_bound) m_source->Stop();
    m_bound = false;
}

void HotkeyController::OnStatuses(const std::vector<velmora::BindingStatus>& statuses)
{
    int bound = 0;
    for (const velmora::BindingStatus& status : statuses) {
        const auto macro = static_cast<std::size_t>(status.id - velmora::KeyCount);
        if (status.id >= velmora::KeyCount && macro < m_macros.size()) {
            if (status.state == velmora::BindingState::Bound) ++bound;
            if (status.state != velmora::BindingState::Pending &&
                status.state != velmora::BindingState::Bound) {
                qDebug().noquote() << QStringLiteral("hotkey %1 (macro %2): %3")
                                          .arg(Text(velmora::CombinationText(m_macros[macro].combination)),
                                               Text(m_macros[macro].name), Text(status.detail));
            }
            continue;
        }
        if (status.id < 0 || status.id >= velmora::KeyCount) continue;
        m_statuses[static_cast<std::size_t>(status.id)] = status;
        const auto& combination = m_combinations[static_cast<std::size_t>(status.id)];
        if (status.state == velmora::BindingState::Bound) ++bound;
        if (status.state == velmora::BindingState::Pending || status.state == velmora::BindingState::Bound ||
            !combination) {
            continue;
        }
        qDebug().noquote() << QStringLiteral("hotkey %1 (%2): %3")
                                  .arg(Text(velmora::CombinationText(*combination)),
                                       Text(std::string(velmora::HotkeySettingName(status.id))),
                                       Text(status.detail));
    }
    if (bound > 0) {
        qDebug().noquote() << QStringLiteral("hotkeys on (%1): %2 of %3 bound")
                                  .arg(SourceName())
                                  .arg(bound)
                                  .arg(statuses.size());
    }
    Q_EMIT Changed();
}

void HotkeyController::OnUnavailable(const std::string& message)
{
    m_unavailable = Text(message);
    qDebug().noquote() << QStringLiteral("hotkeys are off: %1").arg(m_unavailable);
    // The adapter has given up by itself; it is called back from it, so it is not stopped here.
    Act(m_hold.Stop());
    m_bound = false;
    m_enabled = false;
    Q_EMIT Changed();
}

void HotkeyController::Act(velmora::HotkeyHold::Step step)
{
    if (step.release >= 0) Release(step.release);
    if (step.press >= 0) Press(step.press);
    Schedule();
}

void HotkeyController::Press(int keyIndex)
{
    QPushButton* button = m_buttons[static_cast<std::size_t>(keyIndex)];
    if (!button) return;
    // One keypad: whatever the window's keyboard or mouse holds goes first.
    m_keyboard->LetGo();
    for (QPushButton* other : m_buttons) {
        if (!other || !other->isDown()) continue;
        other->setDown(false);
        Q_EMIT other->released();
    }
    button->installEventFilter(this);
    m_keyboard->SetHeldElsewhere(button);
    button->setDown(true);
    Q_EMIT button->pressed();
}

void HotkeyController::Release(int keyIndex)
{
    QPushButton* button = m_buttons[static_cast<std::size_t>(keyIndex)];
    if (!button) return;
    button->removeEventFilter(this);
    m_keyboard->SetHeldElsewhere(nullptr);
    if (!button->isDown()) return;  // already let go by the window (a disabled button, say)
    button->setDown(false);
    button->update();
    Q_EMIT button->released();
}

bool HotkeyController::eventFilter(QObject* watched, QEvent* event)
{
    // The held button losing the focus (the window deactivated while the grab is active) would let
    // itself go; the hotkey holds regardless of the focus.
    const int held = m_hold.Held();
    return event->type() == QEvent::FocusOut && held >= 0 &&
           watched == m_buttons[static_cast<std::size_t>(held)];
}

void HotkeyController::Schedule()
{
    const std::optional<std::int64_t> deadline = m_hold.Deadline();
    if (!deadline) {
        m_deadline.stop();
        return;
    }
    const std::int64_t wait = *deadline - m_clock.elapsed();
    m_deadline.start(static_cast<int>(wait > 0 ? wait : 0));
}
