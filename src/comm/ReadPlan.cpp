#include "comm/ReadPlan.h"

#include <algorithm>

namespace dnp {
namespace {

// Whether a late copy of the reply to `a` could pass for the reply to `b`: the same
// length and the same words expected.
bool sameReply(const ConfigImage& expected, int a, int b)
{
    if (a < 1 || messageWordCount(a) != messageWordCount(b))
        return false;
    const auto first = expected.begin();
    return std::equal(first + messageFirstWord(a), first + messageFirstWord(a) + messageWordCount(a),
                      first + messageFirstWord(b));
}

}  // namespace

std::vector<int> everyMessage()
{
    std::vector<int> plan(kMessageCount);
    for (int m = 1; m <= kMessageCount; ++m)
        plan[static_cast<std::size_t>(m - 1)] = m;
    return plan;
}

std::vector<int> readPlan(const ConfigImage& expected, MessageSet messages, int before)
{
    std::vector<int> plan;
    int last = before;
    for (int m = 1; m <= kMessageCount; ++m) {
        if (!messages[static_cast<std::size_t>(m - 1)])
            continue;
        if (sameReply(expected, last, m))
            plan.push_back(messageWordCount(m) == kWordsPerMessage ? kMessageCount : 1);
        plan.push_back(m);
        last = m;
    }
    return plan;
}

MessageSet differingMessages(const ConfigImage& expected, const ConfigImage& found)
{
    MessageSet differing;
    for (int w = 0; w < kImageWords; ++w)
        if (expected[static_cast<std::size_t>(w)] != found[static_cast<std::size_t>(w)])
            differing.set(static_cast<std::size_t>(w / kWordsPerMessage));  // word 255: message 18
    return differing;
}

}  // namespace dnp
