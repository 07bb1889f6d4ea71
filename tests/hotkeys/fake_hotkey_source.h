// A hotkey adapter the test works by hand: what was bound, and combinations going down and up.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hotkeys/hotkey_source.h"

struct FakeHotkeys {
    std::vector<velmora::HotkeyBinding> bindings;
    velmora::HotkeySource::Events events;
    std::vector<std::string> taken;  // names reported as held by another program

    const velmora::HotkeyBinding* Find(const std::string& name) const
    {
        for (const auto& binding : bindings) {
            if (binding.name == name) return &binding;
        }
        return nullptr;
    }
    // False when nothing is bound under that name.
    bool Down(const std::string& name) const
    {
        const auto* binding = Find(name);
        const auto down = events.down;  // a copy: the window may stop the hotkeys meanwhile
        if (!binding || !down) return false;
        down(binding->id, 0);
        return true;
    }
    bool Up(const std::string& name) const
    {
        const auto* binding = Find(name);
        const auto up = events.up;
        if (!binding || !up) return false;
        up(binding->id, 0);
        return true;
    }
};

class FakeHotkeySource : public velmora::HotkeySource {
public:
    explicit FakeHotkeySource(std::shared_ptr<FakeHotkeys> state) : m_state(std::move(state)) {}
    std::string Name() const override { return "fake"; }
    std::string Ability() const override { return "whatever the test does"; }
    void Start(const std::vector<velmora::HotkeyBinding>& bindings, Events events) override
    {
        m_state->bindings = bindings;
        m_state->events = std::move(events);
        std::vector<velmora::BindingStatus> statuses;
        for (const auto& binding : bindings) {
            bool taken = false;
            for (const auto& name : m_state->taken) taken = taken || name == binding.name;
            statuses.push_back(taken ? velmora::BindingStatus{binding.id, velmora::BindingState::Taken,
                                                              "another program has it"}
                                     : velmora::BindingStatus{binding.id, velmora::BindingState::Bound, {}});
        }
        const auto report = m_state->events.statuses;
        if (report) report(statuses);
    }
    void Stop() override
    {
        m_state->bindings.clear();
        m_state->events = {};
    }

private:
    std::shared_ptr<FakeHotkeys> m_state;
};
