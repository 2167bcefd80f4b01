#include "model/TerminalText.h"

namespace dnp {
namespace {

constexpr char16_t kLastC0 = 0x1F;
constexpr char16_t kDelete = 0x7F;
constexpr char16_t kFirstC1 = 0x80;
constexpr char16_t kLastC1 = 0x9F;

bool isControl(char16_t c)
{
    return c <= kLastC0 || c == kDelete || (c >= kFirstC1 && c <= kLastC1);
}

}  // namespace

QString terminalText(QStringView text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (isControl(c.unicode()))
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

}  // namespace dnp
