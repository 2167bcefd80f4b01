#pragma once
// The event-class marks: a point's event class travels to the panel in bits 12-14 of
// its code words, bits 0-11 hold the catalogue code. The marks are derived from the
// selections whenever an image is built; the configuration holds no code tables.
//
// Each event class has a bit of its own: 0x1000 Class 1, 0x2000 Class 2, 0x4000 Class 3,
// none for a point in Class 0 only. Class 3 is bit 14 alone, not 0x3000 (the number 3 in
// bits 12-13): the panel reads a mark by its bits, and reads any word from 0x3000 up as
// Class 3, so a word marked 0x4000 comes back as Class 3 and a retrieved 0x3000 is taken
// as Class 3 as well. A retrieved word above 0x7FFF (bit 15, a counter's flag) has that
// bit dropped before its class is read.

#include "model/ConfigState.h"

#include <cstdint>

namespace dnp {

constexpr std::uint16_t kCodeMask = 0x0FFF;  // the catalogue code below the marks

// The mark bits of a class: 0 for Class 0, 0x1000, 0x2000, 0x4000.
constexpr std::uint16_t classMark(int cls)
{
    constexpr std::uint16_t marks[] = {0, 0x1000, 0x2000, 0x4000};
    return marks[cls >= 0 && cls <= 3 ? cls : 0];
}

// A code with its marks replaced by those of the class.
constexpr std::uint16_t withMark(std::uint16_t code, int cls)
{
    return static_cast<std::uint16_t>((code & kCodeMask) | classMark(cls));
}

// The class a retrieved word names (bit 15 already dropped): below 0x1000 Class 0,
// 0x1000-0x1FFF Class 1, 0x2000-0x2FFF Class 2, from 0x3000 up Class 3.
constexpr int retrievedWordClass(std::uint16_t word)
{
    return word < 0x1000 ? 0 : word < 0x2000 ? 1 : word < 0x3000 ? 2 : 3;
}

// The event class a point's code carries: 0, or the last of 1, 2, 3 it is chosen in.
int pointEventClass(const ConfigState& state, PointType type, int typeIndex);
// The code the panel receives for a point: its catalogue code with the mark of the last
// event class (1, 2, 3) it is chosen in.
std::uint16_t markedCode(const ConfigState& state, PointType type, int typeIndex, bool secondCode = false);

}  // namespace dnp
