#pragma once

#include <cstdint>
#include <string_view>

namespace tagwright::run {
struct LabelRequest;
}

namespace tagwright::labels {

// Sizes and offsets in the design's unit, rotation in degrees as entered.
struct LabelSettings {
    double offsetX = 0, offsetY = 0, height = 0, lineWidth = 0, rotation = 0;
};

// A field's text as a number: optional blanks, an optional leading "-", digits with at most
// one "." and at least one digit; "." whatever the locale. Only the empty text is 0: blanks
// alone are no number. Anything else is a type mismatch (13); a number beyond the range of a
// double is an overflow (6).
double parseNumber(std::u16string_view text);

// Converts the mil values typed in the window into the design's unit. Unit codes: 2 mils,
// 3 inches, 4 millimetres; any other code zeroes sizes and offsets.
LabelSettings makeLabelSettings(std::int32_t unitCode, const run::LabelRequest& request);

} // namespace tagwright::labels
