#pragma once
// Transfers over a link of the machine (a terminal server's, plain or in TLS), each run
// to its end: the fixture of the link tests.

#include "comm/Exchange.h"
#include "comm/ReadPlan.h"

#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <optional>
#include <gtest/gtest.h>

namespace dnp::test {

class LinkTransfer : public ::testing::Test {
protected:
    // Only a transfer that hangs for good runs into it.
    static constexpr int kPatienceMs = 60000;
    static constexpr std::int32_t kBaud = 9600;
    static constexpr TransferLink kSettings{kBaud, false, {}, true, {}};

    // A transfer over `link`, run to its end; the link is closed after it.
    TransferResult run(Link& link, const std::function<void(Link&)>& start)
    {
        QEventLoop loop;
        std::optional<TransferResult> ended;
        QObject::connect(&exchange, &Exchange::finished, &loop, [&](const TransferResult& result) {
            ended = result;
            loop.quit();
        });
        QTimer::singleShot(kPatienceMs, &loop, &QEventLoop::quit);
        start(link);
        if (!ended)
            loop.exec();
        EXPECT_TRUE(ended) << "the transfer did not end";
        EXPECT_FALSE(link.isOpen());
        return ended.value_or(TransferResult{});
    }
    TransferResult send(Link& link, const ConfigImage& words)
    {
        return run(link, [&](Link& l) { exchange.startSend(l, kSettings, words); });
    }
    TransferResult retrieve(Link& link)
    {
        return run(link, [&](Link& l) { exchange.startRead(l, kSettings, everyMessage()); });
    }
    static ConfigImage image(std::uint16_t seed)
    {
        ConfigImage words{};
        for (int i = 0; i < kImageWords; ++i)
            words[i] = static_cast<std::uint16_t>(seed + 3 * i);
        return words;
    }

    Exchange exchange;
};

}  // namespace dnp::test
