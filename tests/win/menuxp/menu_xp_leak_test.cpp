// A thousand measure-and-draw rounds of the whole tray menu delete every GDI object they make.
#include <gtest/gtest.h>

#include "menu_gallery/dib_canvas.h"
#include "menu_gallery/menu_renderer.h"
#include "menu_gallery/tray_menu_sample.h"
#include "platform/gdi_tally.h"

namespace {

TEST(MenuXPLeaks, AThousandRoundsDeleteWhatTheyMake)
{
    const TrayMenuState states[] = {
        {true, true, CMenuXP::kStyleFlat},
        {true, false, CMenuXP::kStyleFlat},
        {false, true, CMenuXP::kStyle3D},
        {false, false, CMenuXP::kStyle3D},
    };
    std::unique_ptr<CMenuXP> menus[std::size(states)];
    for (std::size_t i = 0; i < std::size(states); ++i) {
        menus[i] = BuildTrayMenu(states[i]);
    }
    DibCanvas canvas(200, 200);
    ASSERT_TRUE(canvas.Valid());

    const std::uint64_t created = GdiTally::CreatedCount();
    const std::uint64_t deleted = GdiTally::DeletedCount();
    constexpr int kRounds = 1000;
    for (int round = 0; round < kRounds; ++round) {
        CMenuXP& menu = *menus[round % std::size(menus)];
        const MenuLayout layout = LayOutMenu(menu);
        // Every entry selected in turn, and none.
        PaintMenu(menu, layout, canvas.Dc(), round % 8 - 1);
    }
    const std::uint64_t made = GdiTally::CreatedCount() - created;
    // At least a font per text entry measured, and a brush per entry painted, in every round.
    EXPECT_GT(made, 8u * kRounds);
    EXPECT_EQ(GdiTally::DeletedCount() - deleted, made);
}

}  // namespace
