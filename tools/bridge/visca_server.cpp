#include "tools/bridge/visca_server.h"

#include <array>
#include <boost/asio/ip/v6_only.hpp>
#include <chrono>
#include <cstdio>

#include "tools/bridge/http_route.h"
#include "tools/bridge/serve_log.h"
#include "tools/bridge/visca_log.h"
#include "tools/bridge/visca_receiver.h"

namespace velmora::bridge {

using boost::asio::ip::udp;
using Clock = std::chrono::steady_clock;

NetAddress NetAddressOf(const boost::asio::ip::address& address)
{
    NetAddress net;
    net.v6 = address.is_v6();
    if (net.v6) {
        net.bytes = address.to_v6().to_bytes();
    } else {
        const auto v4 = address.to_v4().to_bytes();
        std::copy(v4.begin(), v4.end(), net.bytes.begin());
    }
    return net;
}

namespace {

ViscaOutcome OutcomeOf(const std::optional<BridgeFailure>& failure)
{
    if (!failure) return ViscaOutcome::Done;
    return failure->kind == FailureKind::Busy ? ViscaOutcome::Busy : ViscaOutcome::Failed;
}

KeyAction ActionOf(ViscaKeyStep::Action action)
{
    switch (action) {
        case ViscaKeyStep::Action::Press:
            return KeyAction::Press;
        case ViscaKeyStep::Action::Click:
            return KeyAction::Click;
        case ViscaKeyStep::Action::Release:
        case ViscaKeyStep::Action::Nudge:
        case ViscaKeyStep::Action::Macro:
            break;
    }
    return KeyAction::Release;
}

// Errors of one datagram (an ICMP answer to an earlier reply, a datagram larger than the buffer on
// Windows): the next one is received as usual.
bool OfOneDatagram(const boost::system::error_code& error)
{
    return error == boost::asio::error::connection_reset || error == boost::asio::error::connection_refused ||
           error == boost::asio::error::message_size;
}

}  // namespace

struct ViscaServer::State : std::enable_shared_from_this<State> {
    State(boost::asio::io_context& loop, BridgeCore& core, ViscaMapping mapping,
          std::vector<ViscaAllowRule> allow, bool quiet, MacroBook macros)
        : core(core),
          macros(std::move(macros)),
          socket(loop),
          receiver(std::move(mapping)),
          allow(std::move(allow)),
          log(loop, quiet),
          owner(core.NewOwner())
    {
    }

    void Receive()
    {
        socket.async_receive_from(
            boost::asio::buffer(buffer), from,
            [self = shared_from_this()](const boost::system::error_code& error, std::size_t size) {
                if (self->stopped || error == boost::asio::error::operation_aborted) return;
                if (error && !OfOneDatagram(error)) {
                    std::fprintf(stderr, "velmoractl: VISCA: receiving failed: %s\n",
                                 error.message().c_str());
                    return;
                }
                if (!error) self->OnDatagram(size);
                self->Receive();
            });
    }

    void OnDatagram(std::size_t size)
    {
        const Clock::time_point started = Clock::now();
        ++datagrams;
        const NetAddress address = NetAddressOf(from.address());
        if (!ViscaAllows(allow, address)) return log.Dropped(from);
        auto decision = std::make_shared<const ViscaDecision>(
            receiver.Receive(ViscaSender{address, from.port()}, buffer.data(), size));
        Send(from, decision->sendNow);
        if (decision->work == ViscaWork::None)
            return log.Answered(from, *decision, decision->sendNow, started);

        // Answered once the core has run the work.
        auto finish = [self = shared_from_this(), decision, sender = from, started](
                          ViscaOutcome outcome, const ViscaZoomReading& zoom) {
            if (self->stopped) return;
            const std::vector<ViscaDatagram> answers = self->receiver.Finish(*decision, outcome, zoom);
            self->Send(sender, answers);
            self->log.Answered(sender, *decision, answers, started);
        };
        if (decision->work == ViscaWork::ZoomQuery) {
            return core.ReadZoom(std::nullopt, [finish](const ZoomOutcome& outcome) {
                finish(OutcomeOf(outcome.failure),
                       ViscaZoomReading{outcome.zoom.value, outcome.zoom.minimum, outcome.zoom.maximum});
            });
        }
        const std::string client = "visca " + EndpointText(from.address(), from.port());
        if (decision->step.action == ViscaKeyStep::Action::Nudge ||
            decision->step.action == ViscaKeyStep::Action::Macro) {
            // Completion once the macro has run; cancelled or failed, not executable.
            Decision asked;
            asked.route =
                decision->step.action == ViscaKeyStep::Action::Nudge ? Route::Nudge : Route::RunMacro;
            asked.keyIndex = decision->step.key;
            asked.ms = decision->step.ms;
            asked.macro = decision->step.macro;
            Decision refused;
            std::optional<Macro> macro = MacroOf(asked, macros, core.HoldLimit(), refused);
            if (!macro) return finish(ViscaOutcome::Failed, {});
            return core.RunMacro(
                MacroRequest{owner, client, std::nullopt, std::move(*macro), false},
                [finish](const MacroOutcome& outcome) { finish(OutcomeOf(outcome.failure), {}); });
        }
        KeyRequest request;
        request.owner = owner;
        request.client = client;
        request.action = ActionOf(decision->step.action);
        request.keyIndex = request.action == KeyAction::Release ? -1 : decision->step.key;
        request.plan = [step = decision->step](const HeldKeys& held) { return ViscaStepSlots(step, held); };
        core.Key(std::move(request),
                 [finish](const KeyOutcome& outcome) { finish(OutcomeOf(outcome.failure), {}); });
    }

    // In order: at once while the socket takes them, then through the loop.
    void Send(const udp::endpoint& to, const std::vector<ViscaDatagram>& datagrams)
    {
        if (stopped) return;
        for (const ViscaDatagram& datagram : datagrams) {
            boost::system::error_code error;
            if (pendingSends == 0) {
                socket.send_to(boost::asio::buffer(datagram), to, 0, error);
                if (error != boost::asio::error::would_block) continue;
            }
            ++pendingSends;
            auto owned = std::make_shared<ViscaDatagram>(datagram);
            socket.async_send_to(boost::asio::buffer(*owned), to,
                                 [self = shared_from_this(), owned](const boost::system::error_code&,
                                                                    std::size_t) { --self->pendingSends; });
        }
    }

    BridgeCore& core;
    const MacroBook macros;
    udp::socket socket;
    ViscaReceiver receiver;
    const std::vector<ViscaAllowRule> allow;
    ViscaLog log;
    const Owner owner;
    std::array<std::uint8_t, 2048> buffer{};
    udp::endpoint from;
    std::uint64_t datagrams = 0;
    std::size_t pendingSends = 0;
    bool stopped = false;
};

ViscaServer::ViscaServer(boost::asio::io_context& loop, BridgeCore& core, ViscaMapping mapping,
                         std::vector<ViscaAllowRule> allow, bool quiet, MacroBook macros)
    : m_state(
          std::make_shared<State>(loop, core, std::move(mapping), std::move(allow), quiet, std::move(macros)))
{
}

ViscaServer::~ViscaServer()
{
    Stop();
}

bool ViscaServer::Listen(const udp::endpoint& endpoint, std::string& error)
{
    boost::system::error_code code;
    udp::socket& socket = m_state->socket;
    socket.open(endpoint.protocol(), code);
    // [::] hears IPv4 senders too (as ::ffff:a.b.c.d, which the allow-list reads as IPv4).
    if (!code && endpoint.address().is_v6())
        socket.set_option(boost::asio::ip::v6_only(!endpoint.address().is_unspecified()), code);
    if (!code) socket.bind(endpoint, code);
    if (!code) socket.non_blocking(true, code);
    if (code) {
        error = code.message();
        return false;
    }
    m_state->Receive();
    return true;
}

udp::endpoint ViscaServer::LocalEndpoint() const
{
    boost::system::error_code ignored;
    return m_state->socket.local_endpoint(ignored);
}

void ViscaServer::Stop()
{
    if (m_state->stopped) return;
    m_state->stopped = true;
    boost::system::error_code ignored;
    m_state->socket.close(ignored);
    m_state->log.Flush();
}

std::uint64_t ViscaServer::Datagrams() const
{
    return m_state->datagrams;
}

std::uint64_t ViscaServer::Dropped() const
{
    return m_state->log.DroppedTotal();
}

}  // namespace velmora::bridge
