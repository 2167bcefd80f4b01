#pragma once
// Shared set-ups of the Class 0 order and image tests: a configuration with chosen
// Class 0 points in a given order, and random configurations for property tests.

#include "classes/ClassEditor.h"
#include "comm/ConfigImage.h"
#include "comm/SortModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

namespace dnp::test {

// One configuration with the class editor and the order window's logic over it.
struct SortRig {
    ConfigState state;
    ClassEditor editor{state};
    SortModel sort{state};
};

// Chooses the points of `order` for Class 0 and stores them in that order: the
// chosenSlots of the chosen points, in TypeIndex order, receive the values of `order`.
inline void chooseClass0(ConfigState& state, PointType type, const std::vector<int>& order)
{
    std::vector<int> chosenSlots = order;
    std::sort(chosenSlots.begin(), chosenSlots.end());
    for (std::size_t i = 0; i < chosenSlots.size(); ++i) {
        state.setSelected(0, type, chosenSlots[i], true);
        state.Class0Order[typeNumber(type)][chosenSlots[i]] = order[i];
    }
}

inline std::vector<int> listIndices(const SortModel& sort, PointType type)
{
    return sort.orderList(type);
}

inline std::vector<int> sequenceOf(const ConfigState& state, PointType type)
{
    return state.class0Sequence(type);
}

inline BuiltImage imageOf(const Result<BuiltImage>& result)
{
    if (!result) {
        ADD_FAILURE() << result.error().message.toStdString();
        return {};
    }
    return *result;
}

// The image a Send builds.
inline Result<BuiltImage> sendImage(SortRig& rig, Mapping mapping = Mapping::Individual)
{
    return buildSendImage(rig.state, mapping);
}

// A random configuration: random Class 0 points (sometimes more than fit into the
// image), random event classes (also points outside Class 0 and points in two event
// classes, as a file may hold them) and random unsolicited words.
inline void randomConfiguration(ConfigState& state, std::mt19937& rng, int maxClass0Points, int maxShare = 40)
{
    std::uniform_int_distribution<int> percent(0, 99);
    const int share = std::uniform_int_distribution<int>(1, maxShare)(rng);
    int chosen = 0;
    for (PointType t : kAllPointTypes) {
        std::vector<int> order;
        for (int k = 0; k < pointCount(t); ++k)
            if (chosen < maxClass0Points && percent(rng) < share) {
                order.push_back(k);
                ++chosen;
            }
        std::shuffle(order.begin(), order.end(), rng);
        chooseClass0(state, t, order);
        for (int k = 0; k < pointCount(t); ++k) {
            const int roll = percent(rng);
            if (roll < 15)
                state.setSelected(1, t, k, true);
            else if (roll < 30)
                state.setSelected(2, t, k, true);
            else if (roll < 45)
                state.setSelected(3, t, k, true);
            else if (roll < 48) {
                state.setSelected(1, t, k, true);
                state.setSelected(3, t, k, true);
            }
        }
    }
    // Dead bands within 0-100 %, events words anything.
    std::uniform_int_distribution<int> deadband(0, kMaxDeadband);
    std::uniform_int_distribution<int> word(0, 0xFFFF);
    for (int i = 0; i < 6; ++i)
        state.UnsolicitedSettings[i] = static_cast<std::uint16_t>(i % 2 == 0 ? deadband(rng) : word(rng));
}

// Random drags in every order list.
inline void randomDrags(SortModel& sort, std::mt19937& rng, int drags)
{
    for (PointType t : kAllPointTypes) {
        const int n = static_cast<int>(sort.orderList(t).size());
        if (n == 0)
            continue;
        std::uniform_int_distribution<int> row(-1, n - 1);
        for (int i = 0; i < drags; ++i) {
            const int from = row(rng);
            sort.move(t, from, row(rng));
        }
    }
}

}  // namespace dnp::test
