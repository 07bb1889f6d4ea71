#include "keys/macro.h"

#include <algorithm>

namespace velmora {

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

long long MacroDurationMs(const Macro& macro)
{
    long long total = 0;
    for (const MacroStep& step : macro.steps) total += step.ms;
    return total;
}

const Macro* MacroBook::Find(std::string_view name) const
{
    for (const Macro& macro : macros) {
        if (std::equal(macro.name.begin(), macro.name.end(), name.begin(), name.end(),
                       [](char a, char b) { return Lower(a) == Lower(b); }))
            return &macro;
    }
    return nullptr;
}

}  // namespace velmora
