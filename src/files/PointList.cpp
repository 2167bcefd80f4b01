#include "files/PointList.h"

#include "files/Csv.h"
#include "files/FileAccess.h"
#include "model/Marks.h"

#include <QFileInfo>
#include <QXmlStreamWriter>

namespace dnp {
namespace {

// Per point type: the CSV name, and the element names of the Device Profile document.
struct TypeNames {
    const char* csv;
    const char* points;  // the group under dataPointsList
    const char* point;   // one element per number
};

constexpr TypeNames kTypeNames[kPointTypeCount] = {
    {"Binary Input", "binaryInputPoints", "binaryInput"},
    {"Binary Output", "binaryOutputPoints", "binaryOutput"},
    {"Analog Input", "analogInputPoints", "analogInput"},
    {"Analog Output", "analogOutputPoints", "analogOutput"},
    {"Counter", "counterPoints", "counter"},
};

// The order of the groups in dataPointsList.
constexpr PointType kProfileOrder[] = {PointType::Bin, PointType::Bout, PointType::Counters, PointType::Ain,
                                       PointType::Aout};

const QString kCsvHeader = QStringLiteral("type,index,name,description,event_class,class0,deadband_percent");
const QString kReason = QStringLiteral("Point list exported");

// The characters XML 1.0 allows in a document.
bool allowedInXml(char32_t c)
{
    return c == u'\t' || c == u'\n' || c == u'\r' || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// The text with every character XML cannot hold replaced by U+FFFD: a byte of a file
// name that is not UTF-8 (a lone surrogate), a control character, U+FFFE or U+FFFF.
QString xmlText(const QString& text)
{
    QString held;
    held.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            held += c;
            held += text[++i];
        } else {
            held += !c.isSurrogate() && allowedInXml(c.unicode()) ? c : QChar(QChar::ReplacementCharacter);
        }
    }
    return held;
}

// The bytes of a file name for an XML comment: printable ASCII as it is, every other
// byte as \xNN, and so a backslash and a hyphen after a hyphen (which would make the
// comment ill-formed).
QString escapedNameBytes(const QString& name)
{
    const QByteArray bytes = encodeFileName(name);
    QString escaped;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const bool secondHyphen = b == '-' && i > 0 && bytes[i - 1] == '-';
        if (b >= 0x20 && b <= 0x7E && b != '\\' && !secondHyphen)
            escaped += QLatin1Char(static_cast<char>(b));
        else
            escaped += QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0'));
    }
    return escaped;
}

bool isOutput(PointType type)
{
    return type == PointType::Bout || type == PointType::Aout;
}

void writePoint(QXmlStreamWriter& xml, const PointListEntry& e)
{
    const QString eventClass = QString::fromLatin1(kProfileEventClassNames[static_cast<std::size_t>(e.eventClass)]);
    xml.writeStartElement(QString::fromLatin1(kTypeNames[typeNumber(e.type)].point));
    xml.writeTextElement(QStringLiteral("index"), QString::number(e.number));
    xml.writeTextElement(QStringLiteral("name"), xmlText(e.name));
    xml.writeTextElement(QStringLiteral("description"), xmlText(e.description));
    if (e.type == PointType::Counters) {
        xml.writeTextElement(QStringLiteral("countersIncludedInClass0"), QStringLiteral("always"));
        xml.writeTextElement(QStringLiteral("counterEventClass"), eventClass);
        xml.writeTextElement(QStringLiteral("frozenCounterExists"), QStringLiteral("false"));
    } else {
        xml.writeTextElement(QStringLiteral("changeEventClass"), eventClass);
        if (isOutput(e.type))
            xml.writeTextElement(QStringLiteral("commandEventClass"), QStringLiteral("none"));
        xml.writeTextElement(QStringLiteral("includedInClass0Response"), QStringLiteral("always"));
    }
    xml.writeEndElement();
}

// After the points: the unsolicited settings of each event class, in the tool's namespace.
void writeUnsolicitedSettings(QXmlStreamWriter& xml, const UnsolicitedWords& words)
{
    xml.writeNamespace(kProfileExtensionNamespace, QStringLiteral("cfg"));
    xml.writeStartElement(kProfileExtensionNamespace, kProfileExtensionSettings);
    for (int cls = 1; cls <= kEventClassCount; ++cls) {
        xml.writeStartElement(kProfileExtensionNamespace, kProfileExtensionClass);
        xml.writeAttribute(kProfileExtensionClassNumber, QString::number(cls));
        for (const UnsolicitedSettingNames& s : kUnsolicitedSettings)
            xml.writeTextElement(kProfileExtensionNamespace, QLatin1String(s.element),
                                 unsolicitedSettingText(s.setting, unsolicitedSetting(words, cls, s.setting)));
        xml.writeEndElement();
    }
    xml.writeEndElement();
}

}  // namespace

int unsolicitedSetting(const UnsolicitedWords& words, int eventClass, UnsolicitedSetting setting)
{
    const std::uint16_t events = words[eventsWordIndex(eventClass)];
    switch (setting) {
    case UnsolicitedSetting::Deadband:
        return words[deadbandWordIndex(eventClass)];
    case UnsolicitedSetting::MinimumEvents:
        return minimumEventsOf(events);
    case UnsolicitedSetting::NotificationDelay:
        return notificationDelayOf(events);
    }
    return 0;
}

void setUnsolicitedSetting(UnsolicitedWords& words, int eventClass, UnsolicitedSetting setting, int value)
{
    std::uint16_t& events = words[eventsWordIndex(eventClass)];
    switch (setting) {
    case UnsolicitedSetting::Deadband:
        words[deadbandWordIndex(eventClass)] = static_cast<std::uint16_t>(value);
        break;
    case UnsolicitedSetting::MinimumEvents:
        events = eventsWordOf(value, notificationDelayOf(events));
        break;
    case UnsolicitedSetting::NotificationDelay:
        events = eventsWordOf(minimumEventsOf(events), value);
        break;
    }
}

QString unsolicitedSettingText(UnsolicitedSetting setting, int value)
{
    return setting == UnsolicitedSetting::Deadband
               ? deadbandPercentText(static_cast<std::uint16_t>(value), DecimalSeparator::Point)
               : QString::number(value);
}

std::optional<PointListFormat> pointListFormatByName(const QString& name)
{
    if (name == QLatin1String("csv"))
        return PointListFormat::Csv;
    if (name == QLatin1String("xml"))
        return PointListFormat::Xml;
    return std::nullopt;
}

std::optional<PointListFormat> pointListFormatForPath(const QString& path)
{
    return pointListFormatByName(QFileInfo(path).suffix().toLower());
}

QString pointListTypeName(PointType type)
{
    return QString::fromLatin1(kTypeNames[typeNumber(type)].csv);
}

QString pointWordName(const QString& shortName, int word, int wordCount)
{
    if (wordCount == 1)
        return shortName;
    return QStringLiteral("%1 (word %2 of %3)").arg(shortName).arg(word).arg(wordCount);
}

PointList pointList(const ConfigState& state)
{
    const PointCatalog& catalog = PointCatalog::instance();
    PointList list;
    list.unsolicited = state.UnsolicitedSettings;
    for (PointType type : kAllPointTypes) {
        std::vector<bool> numbered(static_cast<std::size_t>(pointCount(type)), false);
        for (const DnpNumbering& n : dnpPointNumbers(state, type)) {
            numbered[n.typeIndex] = true;
            const CatalogPoint& p = catalog.point(type, n.typeIndex);
            const int eventClass = pointEventClass(state, type, n.typeIndex);
            std::optional<std::uint16_t> deadband;
            if (type == PointType::Ain && eventClass > 0)
                deadband = state.deadband(eventClass);
            for (int word = 1; word <= n.wordCount; ++word)
                list.entries.push_back({type, n.typeIndex, n.firstNumber + word - 1,
                                        pointWordName(p.shortName, word, n.wordCount), p.description, eventClass,
                                        deadband});
        }
        for (int i = 0; i < pointCount(type); ++i)
            if (!numbered[i] && pointEventClass(state, type, i) > 0)
                list.unnumbered.push_back({type, i});
    }
    return list;
}

QByteArray pointListCsv(const PointList& list)
{
    QString text = csvLine(kCsvHeader.split(QLatin1Char(',')));
    for (const PointListEntry& e : list.entries)
        text += csvLine({pointListTypeName(e.type), QString::number(e.number), e.name, e.description,
                         QString::number(e.eventClass), QStringLiteral("yes"),
                         e.deadband ? deadbandPercentText(*e.deadband, DecimalSeparator::Point) : QString()});
    return text.toUtf8();
}

Result<QByteArray> pointListXml(const PointList& list, const DeviceProfileHeader& header)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(kProfileNamespace);
    xml.writeStartElement(kProfileNamespace, QStringLiteral("DNP3DeviceProfileDocument"));
    xml.writeAttribute(QStringLiteral("schemaVersion"), kProfileSchemaVersion);

    xml.writeStartElement(QStringLiteral("documentHeader"));
    const QString documentName = xmlText(header.documentName);
    xml.writeTextElement(QStringLiteral("documentName"), documentName);
    if (documentName != header.documentName)
        xml.writeComment(QStringLiteral(" documentName as bytes: %1 ").arg(escapedNameBytes(header.documentName)));
    const QString mapping = QStringLiteral("DNP mapping: ") + header.mapping;
    const QString description = xmlText(header.description);
    xml.writeTextElement(QStringLiteral("documentDescription"),
                         description.isEmpty() ? mapping : description + QStringLiteral("; ") + mapping);
    xml.writeStartElement(QStringLiteral("revisionHistory"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1"));
    xml.writeTextElement(QStringLiteral("date"), header.when.date().toString(Qt::ISODate));
    xml.writeTextElement(QStringLiteral("author"), kProfileAuthor);
    xml.writeTextElement(QStringLiteral("reason"), kReason);
    xml.writeEndElement();  // revisionHistory
    xml.writeEndElement();  // documentHeader

    xml.writeStartElement(QStringLiteral("referenceDevice"));
    xml.writeStartElement(QStringLiteral("dataPointsList"));
    for (PointType type : kProfileOrder) {
        bool open = false;
        for (const PointListEntry& e : list.entries) {
            if (e.type != type)
                continue;
            if (!open) {
                xml.writeStartElement(QString::fromLatin1(kTypeNames[typeNumber(type)].points));
                xml.writeStartElement(QStringLiteral("dataPoints"));
                open = true;
            }
            writePoint(xml, e);
        }
        if (open) {
            xml.writeEndElement();  // dataPoints
            xml.writeEndElement();  // the type's points
        }
    }
    xml.writeEndElement();  // dataPointsList
    xml.writeEndElement();  // referenceDevice
    writeUnsolicitedSettings(xml, list.unsolicited);
    xml.writeEndDocument();
    if (xml.hasError())
        return failure(QStringLiteral("The point list cannot be written as XML."));
    return bytes;
}

QString unnumberedWarning(const std::vector<UnnumberedPoint>& points)
{
    if (points.empty())
        return {};
    const PointCatalog& catalog = PointCatalog::instance();
    QStringList names;
    for (const UnnumberedPoint& p : points)
        names << QStringLiteral("%1 '%2'").arg(pointTypeName(p.type), catalog.point(p.type, p.typeIndex).shortName);
    const QString subject =
        points.size() == 1 ? QStringLiteral("1 point is") : QStringLiteral("%1 points are").arg(points.size());
    return QStringLiteral("%1 in an event class but not in Class 0, so without a DNP point number, and not "
                          "exported: %2")
        .arg(subject, names.join(QStringLiteral(", ")));
}

}  // namespace dnp
