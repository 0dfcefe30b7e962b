#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "codec/bit_reader.h"
#include "codec/idct.h"
#include "codec/picture_header.h"
#include "codec/quantiser.h"

namespace marlin::codec {

// Reads one block: the DC byte, then run/level codes up to end of block,
// dequantised into coefficients (natural order, zeroed first). onlyDc tells
// whether no AC code was read. False on a code with twelve leading zeros or a
// scan position past 63.
bool readBlockCoefficients(BitReader& bits, const Dequantiser& dequantiser, std::int16_t coefficients[64],
                           bool& onlyDc);

// Decodes every slice located by the header into picture (planar 4:2:0 of the
// header's size). Conditional pictures write only what they code. Returns
// false at the first malformed slice; what was decoded before stays written.
bool decodeSlices(const std::uint8_t* payload, std::size_t length, const PictureHeader& header,
                  const Dequantiser& dequantiser, IdctFn idct, std::uint8_t* picture);

}  // namespace marlin::codec
