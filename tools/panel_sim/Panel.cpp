#include "Panel.h"

#include <QList>
#include <cctype>

namespace dnp::sim {

using namespace dnp::frames;

Panel::Panel(std::optional<int> address, Faults faults) : address_(address), faults_(std::move(faults)) {}

std::vector<Answer> Panel::receive(QByteArrayView bytes)
{
    pending_.append(bytes.data(), bytes.size());
    std::vector<Answer> answers;
    for (;;) {
        const auto parsed = parseRequest(pending_, address_.has_value());
        if (std::holds_alternative<Incomplete>(parsed))
            break;
        if (const auto* bad = std::get_if<BadFrame>(&parsed)) {
            dropped_.push_back({bad->discard, QString::fromLatin1(bad->reason)});
            pending_.remove(0, bad->discard);
            continue;
        }
        const auto& request = std::get<Request>(parsed);
        const QByteArray frame = pending_.first(request.size);
        pending_.remove(0, request.size);
        if (address_ && request.address != (*address_ & 0xFF)) {
            dropped_.push_back({request.size, QStringLiteral("for address %1").arg(request.address)});
            continue;
        }
        answers.push_back(answer(request));
        answers.back().frame = frame;
    }
    return answers;
}

Answer Panel::answer(const Request& request)
{
    Answer a;
    a.request = ++requests_;
    a.command = request.command;
    a.offset = request.offset;
    a.count = request.count;
    if (faults_.silentAt.contains(a.request))
        return a;

    const bool badStatus = faults_.badStatusAt.contains(a.request);
    const std::uint8_t status = badStatus ? kBadStatus : kGoodStatus;
    const Addressing addressing{address_.has_value(), address_.value_or(0)};
    if (request.command == Command::Write) {
        if (!badStatus) {
            for (int j = 0; j < request.count; ++j)
                image[static_cast<std::size_t>(request.offset + j)] = request.words[static_cast<std::size_t>(j)];
            a.imageComplete = request.offset + request.count == kImageWordCount;
        }
        a.reply = composeWriteReply(request.count, addressing, status);
    } else {
        a.reply = composeReadReply(request.offset, request.count, image, addressing, status);
    }

    if (faults_.shortReplyAt.contains(a.request))
        a.reply.chop(std::min<qsizetype>(kShortReplyMissing, a.reply.size() - 1));
    else
        a.reply.append(QByteArray(faults_.extraBytes, kExtraByte));
    return a;
}

std::vector<Dropped> Panel::takeDropped()
{
    std::vector<Dropped> dropped;
    dropped.swap(dropped_);
    return dropped;
}

QByteArray imageText(const Image& image)
{
    QByteArray text;
    for (int line = 0; line < 16; ++line) {
        for (int column = 0; column < 16; ++column) {
            if (column > 0)
                text += ' ';
            text += QByteArray::number(image[static_cast<std::size_t>(line * 16 + column)], 16).toUpper().rightJustified(4, '0');
        }
        text += '\n';
    }
    return text;
}

std::optional<ImageTextError> parseImageText(QByteArrayView text, Image& image)
{
    const QList<QByteArray> words = text.toByteArray().simplified().split(' ');
    int count = 0;
    for (const QByteArray& word : words) {
        if (word.isEmpty())
            continue;
        if (count == kImageWordCount)
            return ImageTextError{QStringLiteral("more than 256 words")};
        bool ok = word.size() <= 4;
        for (char c : word)
            ok = ok && std::isxdigit(static_cast<unsigned char>(c));
        const uint value = ok ? word.toUInt(&ok, 16) : 0;
        if (!ok)
            return ImageTextError{QStringLiteral("word %1 \"%2\" is not a four-digit hex word")
                                      .arg(count + 1)
                                      .arg(QString::fromLatin1(word))};
        image[static_cast<std::size_t>(count++)] = static_cast<std::uint16_t>(value);
    }
    if (count != kImageWordCount)
        return ImageTextError{QStringLiteral("%1 words instead of 256").arg(count)};
    return std::nullopt;
}

}  // namespace dnp::sim
