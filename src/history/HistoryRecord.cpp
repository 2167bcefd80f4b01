#include "history/HistoryRecord.h"

#include "files/Csv.h"

#include <QCryptographicHash>
#include <QDateTime>

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

QByteArray chainInput(const QString& previous, const HistoryRecord& record)
{
    QByteArray bytes = previous.toLatin1();
    // The seconds as the store gives them back, to the last bit.
    QStringList fields = historyFields(record) << record.trace;
    fields[kHistoryColumns.indexOf(QStringLiteral("seconds"))] = QString::number(record.seconds, 'g', 17);
    for (const QString& field : fields) {
        const QByteArray utf8 = field.toUtf8();
        bytes += '\n' + QByteArray::number(utf8.size()) + ':' + utf8;
    }
    return bytes;
}

QString sha256Text(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
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
