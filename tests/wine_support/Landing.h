#pragma once
// Where the pointer's buttons landed, as the end-to-end scenarios check it.

#include "tests/wine_support/CalibratedBoard.h"

#include <gtest/gtest.h>

// Whether a button event the hook saw is `message` within `tolerance` pixels of (x, y).
inline testing::AssertionResult At(const HOOKED_EVENT& event, unsigned message, double x, double y,
                                   double tolerance)
{
    if (event.message == message && Distance(event.x, event.y, x, y) <= tolerance)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "message 0x" << std::hex << event.message << std::dec << " at " << event.x << ","
           << event.y << ", expected 0x" << std::hex << message << std::dec << " at " << x << ","
           << y;
}

// Whether the first of a stroke's buttons is the press where the pen touched.
inline testing::AssertionResult PressedAt(const std::vector<HOOKED_EVENT>& buttons, double x,
                                          double y, double tolerance)
{
    return At(buttons.empty() ? HOOKED_EVENT{} : buttons[0], WM_LBUTTONDOWN, x, y, tolerance);
}

// Whether a short stroke from (x, y), drawn with pen 0 of a unit seen through its optics, goes
// down where the pen touched.
inline testing::AssertionResult ShortStrokeLands(CHookProbe& probe, const CDriverRun& run,
                                                 const SIM_OPTICS_CONFIG& optics, double x,
                                                 double y, double tolerance, int unit = 0)
{
    return PressedAt(StrokeButtons(probe, run, optics, {{x, y}, {x + 30, y + 20}}, unit), x, y,
                     tolerance);
}
