// Any text as a VISCA mapping file, and as a --visca-allow value: every error names a line of the
// text, and a parsed rule lets in its own network.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_check.h"
#include "tools/bridge/visca_allow.h"
#include "tools/bridge/visca_mapping.h"

using namespace velmora;
using namespace velmora::bridge;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ViscaMappingParse parse = ParseViscaMapping(text);
    const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    for (const std::string& error : parse.errors) {
        FUZZ_CHECK(error.rfind("line ", 0) == 0);
        const std::size_t line = std::stoul(error.substr(5));
        FUZZ_CHECK(line >= 1 && line <= lines);
    }

    std::string error;
    const auto rule = ParseViscaAllowRule(text, error);
    if (rule) {
        FUZZ_CHECK(error.empty() && rule->bits >= 0 && rule->bits <= (rule->network.v6 ? 128 : 32));
        FUZZ_CHECK(ViscaAllows({*rule}, rule->network));
    } else {
        FUZZ_CHECK(!error.empty());
    }
    return 0;
}
