// The time to measure and paint the whole tray menu into a memory device context, beside the time to
// fill the same area with one PatBlt, both measured in this run, and their ratio. Prints; asserts nothing.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "menu_gallery/dib_canvas.h"
#include "menu_gallery/menu_renderer.h"
#include "menu_gallery/tray_menu_sample.h"

namespace {

constexpr int kSamples = 301;
constexpr int kWarmUp = 20;

double Seconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end, const LARGE_INTEGER& frequency)
{
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> samples)
{
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main()
{
    const auto menu = BuildTrayMenu({true, true, CMenuXP::kStyleFlat});
    const MenuLayout layout = LayOutMenu(*menu);
    DibCanvas canvas(layout.size.cx, layout.size.cy);
    if (!canvas.Valid()) {
        std::puts("menuxp_bench: no canvas");
        return 1;
    }
    const HGDIOBJ previousBrush = SelectObject(canvas.Dc(), GetSysColorBrush(COLOR_MENU));

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> menuTimes;
    std::vector<double> fillTimes;
    // Alternating, so that both see the same conditions.
    for (int round = 0; round < kWarmUp + kSamples; ++round) {
        LARGE_INTEGER start, middle, end;
        QueryPerformanceCounter(&start);
        PaintMenu(*menu, LayOutMenu(*menu), canvas.Dc(), 1);
        GdiFlush();
        QueryPerformanceCounter(&middle);
        PatBlt(canvas.Dc(), 0, 0, layout.size.cx, layout.size.cy, PATCOPY);
        GdiFlush();
        QueryPerformanceCounter(&end);
        if (round >= kWarmUp) {
            menuTimes.push_back(Seconds(start, middle, frequency));
            fillTimes.push_back(Seconds(middle, end, frequency));
        }
    }
    SelectObject(canvas.Dc(), previousBrush);

    const double menuMedian = Median(menuTimes);
    const double fillMedian = Median(fillTimes);
    std::printf("tray menu, %ld x %ld pixels, %zu entries, median of %d rounds:\n", layout.size.cx,
                layout.size.cy, layout.entries.size(), kSamples);
    std::printf("  measure and paint the whole menu: %10.1f us\n", menuMedian * 1e6);
    std::printf("  one PatBlt over the same area:    %10.1f us\n", fillMedian * 1e6);
    std::printf("  ratio:                            %10.0f\n",
                fillMedian > 0 ? menuMedian / fillMedian : 0.0);
    return 0;
}
