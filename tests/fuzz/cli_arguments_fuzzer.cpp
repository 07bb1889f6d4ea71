// velmoractl's command line: the input split at zero bytes into arguments, parsed as the tool does,
// then every operand and option value read as a number and as a key name.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_check.h"
#include "tools/cli_number.h"
#include "tools/cli_options.h"
#include "tools/commands/key_names.h"

using namespace velmoractl;

namespace {

// The limits the commands use: a byte, a 32-bit register or value, a device index.
constexpr std::uint64_t kMaxima[] = {0xFF, 0xFFFFFFFFull, ~0ull, 0};

void CheckNumber(const std::string& text)
{
    for (const std::uint64_t maximum : kMaxima) {
        std::string error;
        const auto value = ParseNumber(text, maximum, error);
        // The same text read independently: digits only, after 0x for hexadecimal.
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        const char* begin = text.data() + (hex ? 2 : 0);
        const char* end = text.data() + text.size();
        std::uint64_t expected = 0;
        const auto [stop, problem] = std::from_chars(begin, end, expected, hex ? 16 : 10);
        const bool digitsOnly = begin != end && stop == end &&
                                (problem == std::errc() || problem == std::errc::result_out_of_range);
        const bool sign = begin != end && (*begin == '-' || *begin == '+');
        if (digitsOnly && !sign && problem == std::errc() && expected <= maximum) {
            FUZZ_CHECK(value && *value == expected);
        } else {
            FUZZ_CHECK(!value && !error.empty());
        }
        if (value) FUZZ_CHECK(NumberText(*value).size() > 4 && Hex32(*value).rfind("0x", 0) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> arguments(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.emplace_back();
        } else {
            arguments.back().push_back(static_cast<char>(data[i]));
        }
    }

    std::string error;
    const auto options = ParseCommandLine(arguments, error);
    if (!options) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    // Every argument lands somewhere: the command, an operand, an option or an option's value.
    FUZZ_CHECK(options->operands.size() < arguments.size());
    FUZZ_CHECK(!options->operands.empty() <= !options->command.empty());

    std::vector<std::string> texts = options->operands;
    texts.push_back(options->command);
    for (const auto* value : {&options->device, &options->param, &options->commandByte})
        if (*value) texts.push_back(**value);
    for (const std::string& text : texts) {
        CheckNumber(text);
        if (const velmora::KeyDefinition* key = FindKeyByName(text))
            FUZZ_CHECK(FindKeyByName(ShortKeyName(*key)) == key);
    }
    return 0;
}
