#pragma once
// Bytes and images written out in the frame tests.

#include "comm/ImageLayout.h"

#include <QByteArray>
#include <cstdint>
#include <initializer_list>

namespace dnp::test {

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(static_cast<char>(v));
    return b;
}

// Word i of the image is base + i, so that every word tells where it comes from.
inline ConfigImage countingImage(std::uint16_t base = 0xA000)
{
    ConfigImage image{};
    for (int i = 0; i < kImageWords; ++i)
        image[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(base + i);
    return image;
}

}  // namespace dnp::test
