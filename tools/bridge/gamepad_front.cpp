#include "tools/bridge/gamepad_front.h"

namespace velmora::bridge {

using controllers::GamepadEvent;

GamepadFront::GamepadFront(boost::asio::io_context& loop, BridgeCore& core,
                           const controllers::GamepadMapping& mapping, bool quiet)
    : m_front(core, quiet), m_mapper(mapping), m_wait(loop)
{
    m_front.SetClient("gamepad");
}

GamepadFront::StartResult GamepadFront::Start(std::unique_ptr<controllers::GamepadSource> source,
                                              const controllers::GamepadChoice& choice, std::string& error)
{
    m_source = std::move(source);
    if (!m_source->Start(
            choice, [this](const GamepadEvent& event) { Take(event); }, error)) {
        // The adapter names a missing pad "no gamepad N (there are ...)".
        return error.rfind("no gamepad ", 0) == 0 ? StartResult::NoSuchPad : StartResult::Failed;
    }
    if (!m_wait.Start(
            m_source->EventHandle(), [this] { m_source->DispatchPending(); }, error)) {
        error = "gamepads cannot be waited for: " + error;
        return StartResult::Failed;
    }
    return StartResult::Started;
}

void GamepadFront::Stop()
{
    m_stopped = true;
    m_wait.Stop();
}

void GamepadFront::Take(const GamepadEvent& event)
{
    if (m_stopped) return;
    std::vector<controllers::ControllerAction> actions;
    m_mapper.Take(event, actions);
    switch (event.kind) {
        case GamepadEvent::Kind::Connected:
            m_front.SetClient("gamepad " + std::to_string(event.index) + " (" + event.name + ")");
            ControllerNote(m_front.Client(), "connected");
            break;
        case GamepadEvent::Kind::Disconnected:
            m_front.Gone();
            ControllerNote(m_front.Client(), "gone; what it held is released");
            m_front.SetClient("gamepad");
            return;
        case GamepadEvent::Kind::Unusable:
            ControllerNote("gamepad " + std::to_string(event.index) + " (" + event.name + ")",
                           "cannot be used: " + event.detail);
            return;
        case GamepadEvent::Kind::Button:
        case GamepadEvent::Kind::Axis:
            break;
    }
    m_front.Act(actions);
}

}  // namespace velmora::bridge
