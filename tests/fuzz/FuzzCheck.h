#pragma once

#include <cstdlib>

// Ends the run with a crash that libFuzzer reports, with the input that caused it.
inline void FuzzCheck(bool condition)
{
    if (!condition)
        std::abort();
}
