// A property of a fuzz target: its failure stops the run as a crash, with the input kept.
#pragma once

#define FUZZ_CHECK(condition)               \
    do {                                    \
        if (!(condition)) __builtin_trap(); \
    } while (0)
