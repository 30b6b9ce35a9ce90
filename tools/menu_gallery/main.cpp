// Renders the tray menu in every state into BMP files: at 96, 120, 144 and 192 DPI, both styles, the four
// combinations of ocSupported and ocWanted, and no entry or each command entry selected; and the
// program's own look at 96 DPI in the two high-contrast themes.
//   menuxp_gallery <output folder>
#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "menu_gallery/dib_canvas.h"
#include "menu_gallery/menu_renderer.h"
#include "menu_gallery/tray_menu_sample.h"

namespace {

// No entry selected, then each entry of the tray menu in turn, named by its text in lower case.
std::vector<std::pair<std::wstring, int>> Selections()
{
    std::vector<std::pair<std::wstring, int>> selections{{L"none", -1}};
    for (const TrayMenuEntry& entry : kTrayMenuEntries) {
        std::wstring name = entry.text;
        CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
        selections.emplace_back(name, TrayMenuPosition(entry.id));
    }
    return selections;
}

// Every selection of one state of the menu; false when a picture cannot be written.
bool Render(const std::wstring& prefix, const TrayMenuState& state, int& written)
{
    const auto menu = BuildTrayMenu(state);
    const MenuLayout layout = LayOutMenu(*menu, state.dpi);
    for (const auto& [name, position] : Selections()) {
        DibCanvas canvas(layout.size.cx, layout.size.cy);
        PaintMenu(*menu, layout, canvas.Dc(), position, nullptr, state.theme);
        const std::wstring path = prefix + L"style" + std::to_wstring(state.style) + L"-sup" +
                                  (state.ocSupported ? L"1" : L"0") + L"-want" +
                                  (state.ocWanted ? L"1" : L"0") + L"-" + name + L".bmp";
        if (!canvas.Valid() || !canvas.SaveBmp(path)) {
            std::fprintf(stderr, "menuxp_gallery: cannot write %ls\n", path.c_str());
            return false;
        }
        ++written;
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fputs("usage: menuxp_gallery <output folder>\n", stderr);
        return 2;
    }
    const std::wstring folder = std::wstring(argv[1]) + L"\\";
    int written = 0;
    for (const bool supported : {true, false}) {
        for (const bool wanted : {true, false}) {
            for (const UINT dpi : {96u, 120u, 144u, 192u}) {
                // The 96-DPI pictures keep their names from before the other scales.
                const std::wstring scale = dpi == 96 ? L"" : L"dpi" + std::to_wstring(dpi) + L"-";
                for (const int style : {CMenuXP::kStyleFlat, CMenuXP::kStyle3D}) {
                    if (!Render(folder + scale, {supported, wanted, style, dpi}, written)) {
                        return 1;
                    }
                }
            }
            for (const auto& [name, theme] :
                 {std::pair{L"hcblack-", &kHighContrastBlack}, {L"hcwhite-", &kHighContrastWhite}}) {
                if (!Render(folder + name, {supported, wanted, CMenuXP::kStyleFlat, 96, theme}, written)) {
                    return 1;
                }
            }
        }
    }
    std::printf("menuxp_gallery: %d pictures\n", written);
    return 0;
}
