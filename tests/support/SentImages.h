#pragma once
// Configurations of a few analog inputs, and the image a send of one carries: what the
// fleet's tests send to their panels and look for in them.

#include "comm/ConfigImage.h"
#include "model/ConfigState.h"

#include <gtest/gtest.h>

namespace dnp::test {

// Class 0: the analog inputs firstAin, firstAin + 1, ... (`count` of them), in that order.
inline ConfigState analogInputs(int firstAin, int count)
{
    ConfigState state;
    for (int t = firstAin; t < firstAin + count; ++t) {
        state.setSelected(0, PointType::Ain, t, true);
        state.Class0Order[typeNumber(PointType::Ain)][t] = t;
    }
    return state;
}

// The image a send of `state` carries in individual mapping.
inline ConfigImage sentImageOf(const ConfigState& state)
{
    const Result<BuiltImage> built = buildSendImage(state, kIndividualMappingItem);
    EXPECT_TRUE(built);
    return built ? built->image : ConfigImage{};
}

}  // namespace dnp::test
