// The texts of the NavData window's field edits, without any widget.
#pragma once

#include "kestrix/field_types.h"
#include "kestrix/records.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

// D: signed decimal; U: unsigned decimal; H: upper-case hex, at least 4
// digits; R: real text; S: time word as seconds in real text; T: the byte as
// one character; None: an edit that no field feeds (always empty).
enum class FieldFormat : char { D = 'D', U = 'U', H = 'H', R = 'R', S = 'S', T = 'T', None = '-' };

// One field edit of the NavData window.
struct FieldEdit {
    std::string_view tab;  // tab caption = record name
    int tag;               // tab index = option tag
    std::string_view edit; // edit (component) name
    FieldFormat format;
    int offset;            // payload offset of the field it shows, -1 for None
    StoredType type;
};

// Every field edit, tab by tab in tag order, each tab in window order; edits
// that no field feeds come last on their tab.
std::span<const FieldEdit> FieldEdits();

// Real text: the value taken exactly, rounded to 15 significant digits with
// ties away from zero, trailing zeros dropped; positional for decimal
// exponents -3..15 (value = 0.d1d2.. x 10^x), else scientific with "E";
// "INF", "-INF", "NAN"; -0 shows "0".
std::string RealText(double value, char decimalSeparator = '.');

// The text of one edit for `state`. T gives the raw byte as one char.
std::string FieldEditText(const FieldEdit& edit, const NavdataState& state, char decimalSeparator = '.');

// The texts of all FieldEdits(), in the same order. `out` is resized and its
// strings reused, so a caller refreshing a window often allocates little.
void NavdataFieldTexts(const NavdataState& state, char decimalSeparator, std::vector<std::string>& out);
std::vector<std::string> NavdataFieldTexts(const NavdataState& state, char decimalSeparator = '.');

} // namespace kestrix
