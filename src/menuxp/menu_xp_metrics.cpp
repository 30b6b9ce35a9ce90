#include "menuxp/menu_xp_metrics.h"

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <utility>

namespace menuxp {

namespace {

constexpr int kTextPadding = 4;  // the text entry is at least the icon size plus this
constexpr int kTextExtra = 12;   // room beside the icon band and after the text
constexpr int kCheckMarkSize = 8;

int Channel(std::uint32_t color, int shift)
{
    return static_cast<int>((color >> shift) & 0xFF);
}

}  // namespace

int Scaled(int value, int dpi)
{
    return MulDivRound(value, dpi, kBaseDpi);
}

int MulDivRound(int number, int numerator, int denominator)
{
    if (denominator == 0) {
        return -1;
    }
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    const std::int64_t magnitude = product < 0 ? -product : product;
    const std::int64_t divisor = denominator < 0 ? -static_cast<std::int64_t>(denominator) : denominator;
    std::int64_t result = (magnitude + divisor / 2) / divisor;
    if ((product < 0) != (denominator < 0)) {
        result = -result;
    }
    if (result > std::numeric_limits<int>::max() || result < -std::numeric_limits<int>::max()) {
        return -1;
    }
    return static_cast<int>(result);
}

std::uint32_t CorrectedWidth(std::uint32_t width, int checkWidth)
{
    return width + 1u - static_cast<std::uint32_t>(checkWidth);
}

EntrySize SideBarSize(int size, int dpi)
{
    return {static_cast<std::uint32_t>(Scaled(size, dpi)), 1};
}

EntrySize SeparatorSize(int checkHeight)
{
    return {0, static_cast<std::uint32_t>(checkHeight >> 1)};
}

EntrySize TextEntrySize(int size, int textWidth, int textHeight, int dpi)
{
    const int height = std::max(textHeight, Scaled(size + kTextPadding, dpi));
    return {static_cast<std::uint32_t>(Scaled(2 * size + kTextExtra, dpi) + textWidth),
            static_cast<std::uint32_t>(height)};
}

Point CheckMarkOrigin(int left, int top, int right, int bottom, int dpi)
{
    const int mark = Scaled(kCheckMarkSize, dpi);
    return {left + (right - left - mark) / 2, top + (bottom - top - mark) / 2};
}

std::array<std::uint32_t, 256> GradientTable(std::uint32_t topColor, std::uint32_t bottomColor)
{
    std::array<std::uint32_t, 256> table{};
    for (int n = 0; n < 256; ++n) {
        std::uint32_t pixel = 0;
        // COLORREF keeps red in the lowest byte; the pixel keeps blue there.
        for (const auto& [colorShift, pixelShift] : {std::pair{0, 16}, std::pair{8, 8}, std::pair{16, 0}}) {
            const int top = Channel(topColor, colorShift);
            const int bottom = Channel(bottomColor, colorShift);
            const int value = bottom + MulDivRound(top - bottom, n, 255);
            pixel |= static_cast<std::uint32_t>(value) << pixelShift;
        }
        table[static_cast<std::size_t>(n)] = pixel;
    }
    return table;
}

int GradientRowIndex(int row, int height)
{
    return std::clamp(MulDivRound(256, row, height), 0, 255);
}

LetterAnswer AnswerLetter(std::span<const KeyEntry> entries, wchar_t letter)
{
    const auto matches = [letter](const KeyEntry& entry) {
        return letter != 0 && entry.letter == letter && entry.enabled && !entry.separator;
    };
    const int count = static_cast<int>(entries.size());
    int selected = -1;
    for (int position = 0; position < count; ++position) {
        selected = entries[static_cast<std::size_t>(position)].selected ? position : selected;
    }
    const auto several = std::count_if(entries.begin(), entries.end(), matches) > 1;
    // The first match after the selection, going round; from the top when nothing is selected.
    for (int step = 1; step <= count; ++step) {
        const int position = (selected + step + count) % count;
        if (matches(entries[static_cast<std::size_t>(position)])) {
            return {several ? LetterAnswer::kSelect : LetterAnswer::kChoose, position};
        }
    }
    return {LetterAnswer::kNothing, 0};
}

int DownPressesToFirstEnabled(std::span<const KeyEntry> entries)
{
    int presses = 0;
    for (const KeyEntry& entry : entries) {
        if (!entry.separator) {
            ++presses;
            if (entry.enabled) {
                return presses;
            }
        }
    }
    return 0;
}

}  // namespace menuxp
