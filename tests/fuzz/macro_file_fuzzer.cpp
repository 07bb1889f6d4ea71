// Any bytes as a macros file: a file with a problem runs nothing; a file without one gives macros
// that keep the keypad's rules, and each runs to its end on the macro engine without a key left held.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "keys/key_table.h"
#include "keys/macro_runner.h"
#include "tests/fuzz/fuzz_check.h"
#include "tools/macros/macro_file.h"

using namespace velmora;
using namespace velmoractl;

namespace {

constexpr int kHoldLimitMs = 700;  // low, so that holds past it are common

bool HasRelease(int key)
{
    return key >= 0 && key < KeyCount && Keys[static_cast<std::size_t>(key)].releaseCode.has_value();
}

// The steps keep one key down at most, each release lets go of the key down, and every hold of a
// key with a release ends within the hold limit.
void CheckSteps(const Macro& macro)
{
    FUZZ_CHECK(IsMacroName(macro.name) && !macro.steps.empty());
    FUZZ_CHECK(macro.steps.size() <= static_cast<std::size_t>(MaxMacroSteps));
    int down = -1;
    long long held = 0;
    for (const MacroStep& step : macro.steps) {
        const bool keyed = step.kind != MacroStep::Kind::Wait;
        FUZZ_CHECK(!keyed || (step.key >= 0 && step.key < KeyCount));
        FUZZ_CHECK(step.kind != MacroStep::Kind::Nudge || (step.ms >= 1 && step.ms <= kHoldLimitMs));
        FUZZ_CHECK(step.kind != MacroStep::Kind::Wait || (step.ms >= 1 && step.ms <= MaxMacroWaitMs));
        if (step.kind == MacroStep::Kind::Release) {
            FUZZ_CHECK(step.key == down);
            down = -1;
        } else if (keyed) {
            FUZZ_CHECK(down == -1);
            if (step.kind == MacroStep::Kind::Press) down = step.key;
            held = 0;
        } else if (HasRelease(down)) {
            held += step.ms;
            FUZZ_CHECK(held <= kHoldLimitMs);
        }
    }
    FUZZ_CHECK(!HasRelease(down));
}

// Runs the macro on a clock that jumps to each time it is asked to wait for: every slot goes out
// in step order, and it ends with no key held, having taken at least the macro's time.
void Run(const Macro& macro)
{
    const MacroRunner::Clock::time_point start{};
    MacroRunner runner(macro, start);
    MacroRunner::Clock::time_point now = start;
    int lastStep = 0;
    for (;;) {
        const MacroRunner::Action action = runner.Next(now);
        if (action.kind == MacroRunner::Action::Kind::Done) break;
        FUZZ_CHECK(action.step >= lastStep);
        lastStep = action.step;
        if (action.kind == MacroRunner::Action::Kind::Wait) {
            FUZZ_CHECK(action.until > now);
            now = action.until;
            continue;
        }
        FUZZ_CHECK(action.slot >= 0 && action.slot < KeySlotCount);
        runner.Sent(true, now);
    }
    FUZZ_CHECK(runner.Finished() && !runner.Failed() && !runner.HeldKey());
    FUZZ_CHECK(now - start == std::chrono::milliseconds(MacroDurationMs(macro)));
    FUZZ_CHECK(runner.Cancel().empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const MacroFile file = ParseMacroFile(bytes, kHoldLimitMs);
    int previous = 0;
    for (const MacroProblem& problem : file.problems) {
        FUZZ_CHECK(problem.line >= previous && !problem.message.empty());
        previous = problem.line;
    }
    if (!file.problems.empty()) {
        FUZZ_CHECK(file.book.macros.empty());
        return 0;
    }
    for (const Macro& macro : file.book.macros) {
        FUZZ_CHECK(file.book.Find(macro.name) == &macro);
        CheckSteps(macro);
        Run(macro);
    }
    return 0;
}
