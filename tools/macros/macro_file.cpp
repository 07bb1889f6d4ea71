#include "tools/macros/macro_file.h"

#include <algorithm>
#include <map>
#include <optional>

#include "keys/key_table.h"
#include "tools/batch_text.h"
#include "tools/commands/key_names.h"

namespace velmoractl {

namespace {

using velmora::Macro;
using velmora::MacroStep;

constexpr std::size_t kMaxNameLength = 64;
constexpr int kMaxCallDepth = 16;
constexpr std::string_view kBlanks = " \t\r\v\f";
constexpr std::string_view kSteps = "press KEY, release, click KEY, nudge KEY MS, wait MS or macro NAME";

// A step as its line gives it: a call not yet replaced by the steps it calls.
struct LineStep {
    MacroStep step;
    std::string callee;  // a "macro NAME" step: NAME
};

struct LineMacro {
    std::string name;
    int line = 0;
    std::vector<LineStep> steps;
    bool broken = false;  // a line of it is bad: not expanded or checked further
};

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return lower;
}

std::string_view Trim(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::vector<std::string_view> Words(std::string_view line)
{
    std::vector<std::string_view> words;
    for (std::size_t start = line.find_first_not_of(kBlanks); start != std::string_view::npos;) {
        const std::size_t end = std::min(line.find_first_of(kBlanks, start), line.size());
        words.push_back(line.substr(start, end - start));
        start = line.find_first_not_of(kBlanks, end);
    }
    return words;
}

std::string Joined(const std::vector<std::string_view>& words)
{
    std::string text;
    for (std::string_view word : words) text += (text.empty() ? "" : " ") + std::string(word);
    return text;
}

std::string KeyName(int key)
{
    return std::string(ShortKeyName(velmora::Keys[static_cast<std::size_t>(key)]));
}

bool HasRelease(int key)
{
    return velmora::Keys[static_cast<std::size_t>(key)].releaseCode.has_value();
}

std::optional<int> ParseKey(std::string_view word, std::string& error)
{
    const velmora::KeyDefinition* key = FindKeyByName(word);
    if (!key) {
        error = "unknown key '" + std::string(word) + "' (one of " + KeyNameList() + ")";
        return std::nullopt;
    }
    return static_cast<int>(key - velmora::Keys.data());
}

// One step line; error set when it is bad.
std::optional<LineStep> ParseStep(const std::vector<std::string_view>& words, int holdLimitMs,
                                  std::string& error)
{
    const std::string verb = Lower(words[0]);
    const std::size_t operands = words.size() - 1;
    LineStep parsed;
    MacroStep& step = parsed.step;
    std::optional<int> key;
    std::optional<int> ms;
    if (verb == "press" || verb == "click") {
        step.kind = verb == "press" ? MacroStep::Kind::Press : MacroStep::Kind::Click;
        if (operands != 1) error = verb + " takes one key: " + verb + " KEY";
        if (operands == 1) key = ParseKey(words[1], error);
    } else if (verb == "release") {
        step.kind = MacroStep::Kind::Release;
        if (operands > 1) error = "release takes the key pressed, or nothing: release [KEY]";
        if (operands == 1) key = ParseKey(words[1], error);
    } else if (verb == "nudge") {
        step.kind = MacroStep::Kind::Nudge;
        if (operands != 2) error = "nudge takes a key and its time: nudge KEY MS";
        if (operands == 2) key = ParseKey(words[1], error);
        if (key) ms = ParseMilliseconds(words[2], holdLimitMs, "the hold limit", error);
    } else if (verb == "wait") {
        step.kind = MacroStep::Kind::Wait;
        if (operands != 1) error = "wait takes one time: wait MS";
        if (operands == 1) ms = ParseMilliseconds(words[1], velmora::MaxMacroWaitMs, "an hour", error);
    } else if (verb == "macro") {
        if (operands != 1) error = "macro takes one name: macro NAME";
        if (operands == 1 && !IsMacroName(words[1]))
            error = "'" + std::string(words[1]) + "' is no macro name";
        if (operands == 1) parsed.callee = words[1];
    } else {
        error = "unknown step '" + std::string(words[0]) + "' (" + std::string(kSteps) + ")";
    }
    if (!error.empty()) {
        error = Joined(words) + ": " + error;
        return std::nullopt;
    }
    if (key) step.key = *key;
    if (ms) step.ms = *ms;
    return parsed;
}

class Checker {
public:
    Checker(const std::vector<LineMacro>& macros, int holdLimitMs, std::vector<MacroProblem>& problems)
        : m_macros(macros),
          m_holdLimitMs(holdLimitMs),
          m_problems(problems),
          m_expanded(macros.size()),
          m_state(macros.size(), State::Unseen)
    {
        for (std::size_t i = 0; i < macros.size(); ++i) {
            if (!macros[i].name.empty()) m_index.emplace(Lower(macros[i].name), i);
        }
    }

    // The macro's steps as they run, or nullopt when it is bad (its problems noted).
    std::optional<Macro> Check(std::size_t index)
    {
        std::vector<std::size_t> stack;
        if (!Expand(index, stack)) return std::nullopt;
        Macro macro;
        macro.name = m_macros[index].name;
        macro.line = m_macros[index].line;
        if (!OneKeypad(m_expanded[index], macro.steps)) return std::nullopt;
        return macro;
    }

private:
    enum class State { Unseen, Expanding, Good, Bad };

    void Problem(int line, std::string message)
    {
        m_problems.push_back(MacroProblem{line, std::move(message)});
    }

    // Puts the steps of the macros called in their place; stack: the macros being expanded.
    bool Expand(std::size_t index, std::vector<std::size_t>& stack)
    {
        if (m_state[index] == State::Good) return true;
        if (m_state[index] == State::Bad || m_macros[index].broken) return false;
        m_state[index] = State::Expanding;
        stack.push_back(index);
        std::vector<MacroStep> steps;
        bool good = true;
        for (const LineStep& step : m_macros[index].steps) {
            if (step.callee.empty()) {
                steps.push_back(step.step);
            } else {
                good = Call(step, stack, steps) && good;
            }
            if (good && steps.size() > static_cast<std::size_t>(velmora::MaxMacroSteps)) {
                Problem(m_macros[index].line, "[" + m_macros[index].name + "] has more than " +
                                                  std::to_string(velmora::MaxMacroSteps) +
                                                  " steps with the macros it calls");
                good = false;
            }
            if (!good) break;
        }
        stack.pop_back();
        m_state[index] = good ? State::Good : State::Bad;
        if (good) m_expanded[index] = std::move(steps);
        return good;
    }

    bool Call(const LineStep& step, std::vector<std::size_t>& stack, std::vector<MacroStep>& steps)
    {
        const auto found = m_index.find(Lower(step.callee));
        const int line = step.step.line;
        if (found == m_index.end()) {
            Problem(line, "macro " + step.callee + ": no macro of that name");
            return false;
        }
        const std::size_t callee = found->second;
        if (m_state[callee] == State::Expanding) {
            std::string path;
            const auto from = std::find(stack.begin(), stack.end(), callee);
            for (auto it = from; it != stack.end(); ++it) path += m_macros[*it].name + " -> ";
            Problem(line, "macro " + step.callee + ": " + m_macros[callee].name + " calls itself (" + path +
                              m_macros[callee].name + ")");
            return false;
        }
        if (stack.size() >= static_cast<std::size_t>(kMaxCallDepth)) {
            Problem(line, "macro " + step.callee + ": macros call each other more than " +
                              std::to_string(kMaxCallDepth) + " deep");
            return false;
        }
        if (!Expand(callee, stack)) return false;
        // Past the bound by one step at most: the caller names the size.
        const std::vector<MacroStep>& called = m_expanded[callee];
        const std::size_t bound = static_cast<std::size_t>(velmora::MaxMacroSteps) + 1;
        const std::size_t room = bound - std::min(steps.size(), bound);
        steps.insert(steps.end(), called.begin(),
                     called.begin() + static_cast<std::ptrdiff_t>(std::min(room, called.size())));
        return true;
    }

    // One keypad: a press while a key is down lets go of that key first. Checks every hold against
    // the hold limit, and that every release has a key to let go of and every hold its release.
    bool OneKeypad(const std::vector<MacroStep>& steps, std::vector<MacroStep>& out)
    {
        struct Down {
            int key = 0;
            int line = 0;
            long long ms = 0;
        };
        std::optional<Down> down;
        bool good = true;
        const auto letGo = [&](int line, bool written) {
            if (HasRelease(down->key) && down->ms > m_holdLimitMs) {
                Problem(down->line, KeyName(down->key) + " stays pressed " + std::to_string(down->ms) +
                                        " ms (to line " + std::to_string(line) +
                                        "), longer than the hold limit (" + std::to_string(m_holdLimitMs) +
                                        " ms)");
                good = false;
            }
            if (written) out.push_back(MacroStep{MacroStep::Kind::Release, down->key, 0, line});
            down.reset();
        };
        for (MacroStep step : steps) {
            switch (step.kind) {
                case MacroStep::Kind::Press:
                case MacroStep::Kind::Click:
                case MacroStep::Kind::Nudge:
                    if (down) letGo(step.line, true);
                    if (step.kind == MacroStep::Kind::Press) down = Down{step.key, step.line, 0};
                    out.push_back(step);
                    break;
                case MacroStep::Kind::Release:
                    if (!down) {
                        Problem(step.line, "release: no key is pressed here");
                        good = false;
                        break;
                    }
                    if (step.key >= 0 && step.key != down->key) {
                        Problem(step.line, "release " + KeyName(step.key) + ": the key pressed is " +
                                               KeyName(down->key) + " (line " + std::to_string(down->line) +
                                               ")");
                        good = false;
                    }
                    step.key = down->key;
                    out.push_back(step);
                    letGo(step.line, false);
                    break;
                case MacroStep::Kind::Wait:
                    if (down) down->ms += step.ms;
                    out.push_back(step);
                    break;
            }
        }
        if (down && HasRelease(down->key)) {
            Problem(down->line, "press " + KeyName(down->key) +
                                    ": still pressed when the macro ends (release it: no macro leaves a "
                                    "key held)");
            good = false;
        }
        return good;
    }

    const std::vector<LineMacro>& m_macros;
    const int m_holdLimitMs;
    std::vector<MacroProblem>& m_problems;
    std::map<std::string, std::size_t> m_index;  // by lower-case name
    std::vector<std::vector<MacroStep>> m_expanded;
    std::vector<State> m_state;
};

// A "[NAME]" line: the name, or nullopt with error set.
std::optional<std::string> ParseHeader(std::string_view line, std::string& error)
{
    if (line.back() != ']') {
        error = "a macro starts with a line [NAME]";
        return std::nullopt;
    }
    const std::string_view name = Trim(line.substr(1, line.size() - 2));
    if (!IsMacroName(name)) {
        error = "[" + std::string(name) + "]: a macro name is 1 to " + std::to_string(kMaxNameLength) +
                " letters, digits, '-', '_' and '.'";
        return std::nullopt;
    }
    if (Lower(name) == "running") {
        error = "[running]: that name is reserved (it stands for the macro running)";
        return std::nullopt;
    }
    return std::string(name);
}

}  // namespace

std::optional<int> ParseMilliseconds(std::string_view word, int maximum, const std::string& limit,
                                     std::string& error)
{
    std::string_view digits = word;
    const bool negative = !digits.empty() && digits.front() == '-';
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) digits.remove_prefix(1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        error = "'" + std::string(word) + "' is not a number of milliseconds";
        return std::nullopt;
    }
    long long value = 0;
    for (const char c : digits) value = std::min(value * 10 + (c - '0'), 1LL << 40);
    if (negative || value == 0) {
        error = "a time is 1 ms or more";
        return std::nullopt;
    }
    if (value > maximum) {
        error = "longer than " + limit + " (" + std::to_string(maximum) + " ms)";
        return std::nullopt;
    }
    return static_cast<int>(value);
}

bool IsMacroName(std::string_view name)
{
    if (name.empty() || name.size() > kMaxNameLength) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
               c == '_' || c == '.';
    });
}

MacroFile ParseMacroFile(std::string_view bytes, int holdLimitMs)
{
    MacroFile file;
    std::string encoding;
    const std::optional<std::string_view> text = BatchText(bytes, encoding);
    if (!text) {
        file.problems.push_back(MacroProblem{0, encoding + " text: save it as UTF-8"});
        return file;
    }
    holdLimitMs = std::max(holdLimitMs, 1);

    std::vector<LineMacro> macros;
    std::map<std::string, int> named;  // lower-case name: its line
    std::string_view rest = *text;
    for (int number = 1; !rest.empty(); ++number) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        std::string error;
        if (line.find('\0') != std::string_view::npos) error = "a NUL byte";
        line = Trim(line.substr(0, line.find('#')));
        if (error.empty() && line.empty()) continue;
        if (error.empty() && line.front() == '[') {
            LineMacro macro;
            macro.line = number;
            if (const auto name = ParseHeader(line, error)) {
                const auto [at, added] = named.emplace(Lower(*name), number);
                if (!added)
                    error =
                        "[" + *name + "]: a macro of that name starts on line " + std::to_string(at->second);
                if (added) macro.name = *name;
            }
            macro.broken = !error.empty();
            macros.push_back(std::move(macro));
        } else if (error.empty() && macros.empty()) {
            error = "a step before the first macro: start one with a line [NAME]";
        } else if (error.empty()) {
            std::optional<LineStep> step = ParseStep(Words(line), holdLimitMs, error);
            if (step) {
                step->step.line = number;
                macros.back().steps.push_back(std::move(*step));
            }
        }
        if (!error.empty()) {
            file.problems.push_back(MacroProblem{number, error});
            if (!macros.empty()) macros.back().broken = true;
        }
    }

    Checker checker(macros, holdLimitMs, file.problems);
    std::vector<Macro> checked;
    for (std::size_t i = 0; i < macros.size(); ++i) {
        if (macros[i].broken) continue;
        if (macros[i].steps.empty()) {
            file.problems.push_back(MacroProblem{macros[i].line, "[" + macros[i].name + "] has no steps"});
            continue;
        }
        if (std::optional<Macro> macro = checker.Check(i)) checked.push_back(std::move(*macro));
    }

    // A line bad in a macro and in those calling it is named once.
    std::sort(file.problems.begin(), file.problems.end(), [](const MacroProblem& a, const MacroProblem& b) {
        return a.line != b.line ? a.line < b.line : a.message < b.message;
    });
    file.problems.erase(std::unique(file.problems.begin(), file.problems.end(),
                                    [](const MacroProblem& a, const MacroProblem& b) {
                                        return a.line == b.line && a.message == b.message;
                                    }),
                        file.problems.end());
    if (file.problems.empty()) file.book.macros = std::move(checked);
    return file;
}

}  // namespace velmoractl
