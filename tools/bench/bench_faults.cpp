// The pen chain through the simulator's faults (tests/support/FaultTour.h): one line per
// firmware form and condition with what a user would notice. The two-camera conditions run for
// `bench faults [minutes]` simulated minutes, 10 unless given. Goals: stuck=0 and phantom=0
// everywhere; lag_ms at most 50, except for stall and unplug, where it is the time from the
// camera going quiet to the release, at most 400, and unplug-replug, where it is the time from
// the unit being plugged in again to the first pointer move (the driver looks every 2 s), with
// resumed=1 when strokes after the replug land as before.

#include "Bench.h"

#include "tests/support/FaultTour.h"

#include <cstdio>
#include <cstdlib>

namespace
{
int RunFaults(const std::vector<std::string>& args)
{
    const double minutes = args.empty() ? 10.0 : std::atof(args[0].c_str());
    const FAULT_CONDITION conditions[] = {
        FAULT_CONDITION::Clean,          FAULT_CONDITION::Garbage,
        FAULT_CONDITION::Broken,         FAULT_CONDITION::GarbageBroken,
        FAULT_CONDITION::Stall,          FAULT_CONDITION::Unplug,
        FAULT_CONDITION::TwoCamerasFast, FAULT_CONDITION::TwoCamerasGarbage,
        FAULT_CONDITION::UnplugReplug,
    };
    int result = 0;
    for (bool multi : {false, true})
    {
        const char* form = multi ? "multi" : "single";
        for (FAULT_CONDITION condition : conditions)
        {
            CFaultTour tour(multi, condition, minutes);
            if (!tour.Run())
            {
                std::printf("fault form=%s condition=%s failed: %s\n", form,
                            FaultConditionName(condition), tour.Error().c_str());
                result = 1;
                continue;
            }
            const FAULT_FIGURES figures = tour.Figures();
            std::printf("fault form=%s condition=%s presses=%d releases=%d stuck=%d phantom=%d "
                        "mean_px=%.2f max_px=%.2f lag_ms=%.1f",
                        form, FaultConditionName(condition), figures.presses, figures.releases,
                        figures.stuck, figures.phantom, figures.meanPx, figures.maxPx,
                        figures.lagMs);
            if (condition == FAULT_CONDITION::UnplugReplug)
                std::printf(" resumed=%d", figures.resumed);
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    return result;
}

CBenchRegistration
    g_registration("faults", "the pen chain through the simulator's faults, per form", RunFaults);
} // namespace
