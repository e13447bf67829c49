// The plot catalogue: plot key (record name "." field edit name) to the place
// and stored type of the value in NavdataState.
#pragma once

#include "kestrix/field_types.h"
#include "kestrix/records.h"

#include <span>
#include <string_view>

namespace kestrix {

struct PlotField {
    std::string_view key; // e.g. "Demo.altitude"
    int tag;              // option record 0..27
    int offset;           // payload offset
    StoredType type;
};

// All 229 entries, in record order.
std::span<const PlotField> PlotFields();

// Exact, case-sensitive match of the whole key; nullptr when there is none.
const PlotField* FindPlotField(std::string_view key);

// The value as double, read little-endian from the record (unsigned types
// never negative).
double PlotFieldValue(const PlotField& field, const NavdataState& state);

// multiplier x value, in double.
inline double PlottedValue(const PlotField& field, const NavdataState& state, double multiplier)
{
    return multiplier * PlotFieldValue(field, state);
}

} // namespace kestrix
