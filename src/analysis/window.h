// Window-function tables: integer weights, 32767 per unit of the window formula.
#pragma once

#include <cstdint>

namespace kestrel {

enum class WindowFunction { Hanning, KaiserBessel, FlatTop };

// Writes entries 0 .. fftSize-1 of table for the periodic window of length fftSize.
void fillWindowTable(WindowFunction window, std::int32_t fftSize, std::int32_t* table);

}  // namespace kestrel
