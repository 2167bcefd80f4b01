#include "history/HistoryRecord.h"

#include "files/Csv.h"

#include <QDateTime>

#include <openssl/evp.h>

namespace dnp {

QStringList historyFields(const HistoryRecord& r)
{
    return {r.time,        r.user,        r.host,        r.program,
            r.device,      r.address,     r.action,      r.outcome,
            r.readBack,    r.config,      r.imageSha256, r.panelSha256,
            QString::number(r.differingWords), QString::number(r.seconds, 'f', 1), r.message};
}

QByteArray historyCsv(const std::vector<HistoryRecord>& records, bool withTrace)
{
    const QStringList trace = withTrace ? QStringList{QStringLiteral("trace")} : QStringList{};
    QString text = csvLine(kHistoryColumns + trace);
    for (const HistoryRecord& record : records)
        text += csvLine(historyFields(record) + (withTrace ? QStringList{record.trace} : QStringList{}));
    return text.toUtf8();
}

QString localTimeText(const QString& utc)
{
    const QDateTime time = QDateTime::fromString(utc, Qt::ISODate);
    if (!time.isValid())
        return utc;
    const QDateTime local = time.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

namespace {

// SHA-256 through the cryptographic library the links run on (several times as fast as
// Qt's own: a chain of a million records is walked in seconds).
class Sha256 {
public:
    Sha256() : context_(EVP_MD_CTX_new()) { EVP_DigestInit_ex(context_, EVP_sha256(), nullptr); }
    ~Sha256() { EVP_MD_CTX_free(context_); }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void add(QByteArrayView bytes) { EVP_DigestUpdate(context_, bytes.data(), static_cast<std::size_t>(bytes.size())); }
    QString hex()
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(context_, digest, &length);
        return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(length)).toHex());
    }

private:
    EVP_MD_CTX* context_;
};

}  // namespace

QString recordSha256(const QString& previous, const HistoryRecord& r)
{
    Sha256 hash;
    hash.add(previous.toLatin1());
    const auto add = [&hash](const QString& field) {
        const QByteArray utf8 = field.toUtf8();
        hash.add('\n' + QByteArray::number(utf8.size()) + ':');
        hash.add(utf8);
    };
    for (const QString* text : {&r.time, &r.user, &r.host, &r.program, &r.device, &r.address, &r.action, &r.outcome,
                                &r.readBack, &r.config, &r.imageSha256, &r.panelSha256})
        add(*text);
    add(QString::number(r.differingWords));
    add(QString::number(r.seconds, 'g', 17));
    add(r.message);
    add(r.trace);
    return hash.hex();
}

QString sha256Text(const QByteArray& bytes)
{
    Sha256 hash;
    hash.add(bytes);
    return hash.hex();
}

bool holdingDrifted(const PanelHolding& holding)
{
    return holding.state == kHoldingDiffers || holding.state == kHoldingIncomplete;
}

QStringList panelFields(const PanelHolding& h)
{
    return {h.device, h.address, h.lastSent, h.lastSentSha256, h.lastRead, h.lastReadSha256, h.state, h.config};
}

QByteArray panelsCsv(const std::vector<PanelHolding>& holdings)
{
    QString text = csvLine(kPanelColumns);
    for (const PanelHolding& h : holdings)
        text += csvLine(panelFields(h));
    return text.toUtf8();
}

}  // namespace dnp
