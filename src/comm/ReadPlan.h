#pragma once
// The order in which a verify or a send's read-back reads the panel. The reply to every
// read of 15 words is 40 bytes and names no message: a late copy of one reply, taken for
// the next one's while the panel missed that request, shows only when the two replies
// differ. So no two reads in a row may expect the same reply: where two blocks in a row
// hold the same words (unused words are zero), a read of another length goes between
// them. The plan is made from the words expected, never from timing.

#include "comm/ImageLayout.h"

#include <bitset>
#include <vector>

namespace dnp {

// A set of messages: message m at bit m - 1.
using MessageSet = std::bitset<kMessageCount>;

// Messages 1 to 18 in their order: a send, a retrieve.
std::vector<int> everyMessage();

// The messages of `messages` in their order, with a read of another length (message 18
// between two blocks of 15 words, message 1 between two reads of message 18) wherever
// two reads in a row would expect the same reply. `before`: the message read just
// before the plan, which its first read must not repeat either (0: none).
std::vector<int> readPlan(const ConfigImage& expected, MessageSet messages, int before = 0);

// The messages whose words differ between the two images.
MessageSet differingMessages(const ConfigImage& expected, const ConfigImage& found);

}  // namespace dnp
