// The time to measure and paint the whole tray menu into a memory device context, beside the time to
// fill the same area with one PatBlt, both measured in this run, and their ratio. Prints; asserts nothing.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "menu_gallery/dib_canvas.h"
#include "menu_gallery/menu_renderer.h"
#include "menu_gallery/tray_menu_sample.h"

using Clock = std::chrono::steady_clock;

constexpr int kSamples = 301, kWarmUp = 20;

double MedianUs(std::vector<Clock::duration> samples)
{
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return std::chrono::duration<double, std::micro>(samples[samples.size() / 2]).count();
}

int main()
{
    const auto menu = BuildTrayMenu({true, true, CMenuXP::kStyleFlat});
    const MenuLayout layout = LayOutMenu(*menu);
    DibCanvas canvas(layout.size.cx, layout.size.cy);
    if (!canvas.Valid()) {
        std::puts("menuxp_bench: no canvas");
        return 1;
    }
    // A system colour brush: not owned, so it may stay selected when the canvas goes.
    SelectObject(canvas.Dc(), GetSysColorBrush(COLOR_MENU));
    std::vector<Clock::duration> menuTimes, fillTimes;
    // Alternating, so that both see the same conditions.
    for (int round = 0; round < kWarmUp + kSamples; ++round) {
        const Clock::time_point start = Clock::now();
        PaintMenu(*menu, LayOutMenu(*menu), canvas.Dc(), 1);
        GdiFlush();
        const Clock::time_point middle = Clock::now();
        PatBlt(canvas.Dc(), 0, 0, layout.size.cx, layout.size.cy, PATCOPY);
        GdiFlush();
        const Clock::time_point end = Clock::now();
        if (round >= kWarmUp) {
            menuTimes.push_back(middle - start);
            fillTimes.push_back(end - middle);
        }
    }
    const double menuUs = MedianUs(menuTimes), fillUs = MedianUs(fillTimes);
    std::printf("tray menu, %ld x %ld pixels, %zu entries, median of %d rounds:\n", layout.size.cx,
                layout.size.cy, layout.entries.size(), kSamples);
    std::printf("  measure and paint the whole menu: %10.1f us\n", menuUs);
    std::printf("  one PatBlt over the same area:    %10.1f us\n", fillUs);
    std::printf("  ratio:                            %10.0f\n", fillUs > 0 ? menuUs / fillUs : 0.0);
    return 0;
}
