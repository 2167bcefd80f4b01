#pragma once
// Shared set-ups of the Class 0 order and image tests: a configuration with chosen
// Class 0 points in a given order, and random configurations for property tests.

#include "app/Workspace.h"
#include "support/FakeLink.h"
#include "support/ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

namespace dnp::test {

// The one configuration of a run: the workspace, with its class editor and the order
// window's logic at hand.
struct SortRig {
    ScriptedPrompts prompts;
    FakeLink link;
    Workspace workspace{prompts, link, QStringLiteral("/nonexistent/dnp-test/DNP.ini")};
    ConfigState& state = workspace.state();
    ClassEditor& editor = workspace.editor();
    SortModel& sort = workspace.order();
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
    std::vector<int> values;
    for (const OrderItem& item : sort.class0List(type))
        values.push_back(item.TypeIndex);
    return values;
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

// The image a Send of the order lists builds (the lists rebuilt first, as Send does).
inline Result<BuiltImage> sendImage(SortRig& rig, int mapping = kIndividualMappingItem)
{
    rig.sort.InitSort();
    return buildSendImage(rig.state, rig.sort.class0Lists(), mapping);
}

// A random configuration: random Class 0 points (sometimes more than fit into the
// image), random event classes (also points outside Class 0 and points in two event
// classes, as a file may hold them), random unsolicited words and stale marks.
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
            if (percent(rng) < 10)  // a mark left from an earlier edit
                state.PanelCode[typeNumber(t)][k] |= static_cast<std::uint16_t>(0x1000 << (percent(rng) % 3));
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
        const int n = sort.itemCount(t);
        if (n == 0)
            continue;
        std::uniform_int_distribution<int> row(-1, n - 1);
        for (int i = 0; i < drags; ++i) {
            sort.Class0MouseDown(t, row(rng));
            sort.Class0DragDrop(t, row(rng));
        }
    }
}

}  // namespace dnp::test
