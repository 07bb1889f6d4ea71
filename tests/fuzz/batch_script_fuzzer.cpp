// velmoractl batch input: the bytes of a batch file read as velmoractl reads them (encoding, then
// every line split and checked), and the same bytes shown as text output shows a camera's string.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_check.h"
#include "tools/batch_script.h"
#include "tools/terminal_text.h"

using namespace velmoractl;

namespace {

bool HasNul(const std::string& text)
{
    return text.find('\0') != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // Shown once, the text holds no control character and is valid UTF-8: shown again, it stays.
    const std::string shown = TerminalText(bytes);
    for (const char c : shown) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    FUZZ_CHECK(TerminalText(shown) == shown);

    std::string encoding;
    const auto text = BatchText(bytes, encoding);
    if (!text) {
        FUZZ_CHECK(encoding == "UTF-16LE" || encoding == "UTF-16BE");
        return 0;
    }
    FUZZ_CHECK(text->substr(0, 3) != "\xEF\xBB\xBF" || bytes.substr(0, 6) == "\xEF\xBB\xBF\xEF\xBB\xBF");

    // What passes the check is what runs: a known batch command with words free of NUL bytes, in
    // line order; every other line is a problem of its own.
    const BatchScript script = ParseBatch(*text);
    int previous = 0;
    for (const BatchLine& line : script.lines) {
        FUZZ_CHECK(line.number > previous);
        previous = line.number;
        FUZZ_CHECK(line.command && line.command->inBatch && line.command->name == line.options.command);
        FUZZ_CHECK(!HasNul(line.options.command));
        for (const std::string& operand : line.options.operands) FUZZ_CHECK(!HasNul(operand));
        for (const auto* value : {&line.options.param, &line.options.commandByte})
            FUZZ_CHECK(!*value || !HasNul(**value));
    }
    for (const BatchProblem& problem : script.problems) {
        FUZZ_CHECK(problem.number >= 1 && !problem.failure.message.empty());
        for (const BatchLine& line : script.lines) FUZZ_CHECK(line.number != problem.number);
    }
    return 0;
}
