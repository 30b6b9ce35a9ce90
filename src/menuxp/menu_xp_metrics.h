// The menu engine's arithmetic, free of any window system: entry sizes, the check mark's place, the
// side bar's gradient table and which table entry each row of the bar takes. Fixed sizes are those of
// the look at 96 DPI, scaled to the menu's DPI.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace menuxp {

struct EntrySize {
    std::uint32_t width;
    std::uint32_t height;
};

struct Point {
    int x;
    int y;
};

// number * numerator / denominator, computed in 64 bits and rounded to the nearest integer, halves away
// from zero; -1 when the denominator is 0 or the result does not fit in 32 bits (as MulDiv does).
int MulDivRound(int number, int numerator, int denominator);

inline constexpr int kBaseDpi = 96;

// A size of the 96-DPI look at `dpi`, rounded as MulDiv rounds.
int Scaled(int value, int dpi);

// The platform widens every owner-drawn menu entry by the check-mark width less one; the measured width
// is reduced by as much beforehand, in unsigned arithmetic, so that it wraps for entries narrower than that.
std::uint32_t CorrectedWidth(std::uint32_t width, int checkWidth);

// Entry sizes before the correction. `size` is the item's size field at 96 DPI (16 for every item of
// the program); `checkHeight` is the check-mark height for the menu's DPI.
// The side bar's own entry is one pixel high: its column is as high as the longest one anyway, and
// painting takes the bar's height from the menu, but some menu windows (Wine's) never ask an entry of
// no height to paint itself.
EntrySize SideBarSize(int size, int dpi);
EntrySize SeparatorSize(int checkHeight);
// A text entry with the whole text measured in bold, in the menu's font, as textWidth by textHeight.
EntrySize TextEntrySize(int size, int textWidth, int textHeight, int dpi);

// Top-left corner of the check mark (8 x 8 at 96 DPI) centred in the rectangle.
Point CheckMarkOrigin(int left, int top, int right, int bottom, int dpi);

// 256 colours from the bottom colour (entry 0) to the top colour (entry 255). Colours come in as
// COLORREF (0x00BBGGRR) and go out as 32-bit pixels (0x00RRGGBB).
std::array<std::uint32_t, 256> GradientTable(std::uint32_t topColor, std::uint32_t bottomColor);

// Table entry for row `row` of a bar `height` rows high, row 0 being the bottom row. Rows whose share
// comes out as 256 (the top row of a bar 512 rows high or more) take the top colour, entry 255.
int GradientRowIndex(int row, int height);

// An entry as the keyboard meets it.
struct KeyEntry {
    wchar_t letter;  // the first letter of its text, in upper case; 0 for no text
    bool separator;  // the arrow keys pass over it
    bool enabled;
    bool selected;
};

// What typing a letter does in the open menu. Entries are chosen by the first letter of their text, as
// by a mnemonic: one enabled entry with that letter is chosen at once; several take the selection in
// turn, from the one after the selected entry, and Enter chooses. Grayed entries never match.
struct LetterAnswer {
    enum Action { kNothing, kChoose, kSelect } action;
    int position;
};
LetterAnswer AnswerLetter(std::span<const KeyEntry> entries, wchar_t letter);

// How many presses of the down arrow take a menu without a selection to its first enabled entry: the
// arrow keys stop at every entry but separators, grayed ones too. 0 when no entry is enabled.
int DownPressesToFirstEnabled(std::span<const KeyEntry> entries);

}  // namespace menuxp
