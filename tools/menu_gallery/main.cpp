// Renders the tray menu in every state into BMP files: at 96, 120, 144 and 192 DPI, both styles, the four
// combinations of ocSupported and ocWanted, and no entry or each command entry selected.
//   menuxp_gallery <output folder>
#include <windows.h>

#include <cstdio>
#include <string>

#include "menu_gallery/dib_canvas.h"
#include "menu_gallery/menu_renderer.h"
#include "menu_gallery/tray_menu_sample.h"

namespace {

struct Selection {
    const wchar_t* name;
    int position;
};

constexpr Selection kSelections[] = {
    {L"none", -1}, {L"enable", 1}, {L"disable", 2}, {L"about", 4}, {L"exit", 6},
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fputs("usage: menuxp_gallery <output folder>\n", stderr);
        return 2;
    }
    const std::wstring folder = argv[1];
    int written = 0;
    for (const UINT dpi : {96u, 120u, 144u, 192u}) {
        // The 96-DPI pictures keep their names from before the other scales.
        const std::wstring scale = dpi == 96 ? L"" : L"dpi" + std::to_wstring(dpi) + L"-";
        for (const int style : {CMenuXP::kStyleFlat, CMenuXP::kStyle3D}) {
            for (const bool supported : {true, false}) {
                for (const bool wanted : {true, false}) {
                    const auto menu = BuildTrayMenu({supported, wanted, style, dpi});
                    const MenuLayout layout = LayOutMenu(*menu, dpi);
                    for (const Selection& selection : kSelections) {
                        DibCanvas canvas(layout.size.cx, layout.size.cy);
                        PaintMenu(*menu, layout, canvas.Dc(), selection.position);
                        const std::wstring path = folder + L"\\" + scale + L"style" + std::to_wstring(style) +
                                                  L"-sup" + (supported ? L"1" : L"0") + L"-want" +
                                                  (wanted ? L"1" : L"0") + L"-" + selection.name + L".bmp";
                        if (!canvas.Valid() || !canvas.SaveBmp(path)) {
                            std::fprintf(stderr, "menuxp_gallery: cannot write %ls\n", path.c_str());
                            return 1;
                        }
                        ++written;
                    }
                }
            }
        }
    }
    std::printf("menuxp_gallery: %d pictures\n", written);
    return 0;
}
