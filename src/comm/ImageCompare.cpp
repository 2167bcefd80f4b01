#include "comm/ImageCompare.h"

#include "comm/ImageText.h"

namespace dnp {

ConfigState retrievedState(const RetrievedConfig& retrieved)
{
    ConfigState state;
    state.ClassSelection = retrieved.ClassSelection;
    state.Class0Order = retrieved.Class0Order;
    state.UnsolicitedSettings = retrieved.UnsolicitedSettings;
    return state;
}

ConfigDifferences describeImageDifferences(const ConfigImage& expected, const ConfigImage& found)
{
    if (expected == found)
        return {};
    const RetrievedConfig mappedA = mapRetrievedImage(expected);
    const RetrievedConfig mappedB = mapRetrievedImage(found);
    ConfigDifferences differences;
    if (mappedA.mappingCode != mappedB.mappingCode)
        differences.push_back({DifferenceKind::Mapping, -1, std::nullopt, QStringLiteral("mapping"),
                               QString::number(mappedA.mappingCode), QString::number(mappedB.mappingCode)});
    const ConfigDifferences points = compareConfigurations(retrievedState(mappedA), retrievedState(mappedB));
    differences.insert(differences.end(), points.begin(), points.end());
    if (!differences.empty())
        return differences;
    for (int w = 0; w < kImageWords; ++w)
        if (expected[w] != found[w])
            differences.push_back({DifferenceKind::Word, -1, std::nullopt, QStringLiteral("image word %1").arg(w),
                                   hexWord(expected[w]), hexWord(found[w])});
    return differences;
}

int differingWords(const ConfigImage& expected, const ConfigImage& found)
{
    int words = 0;
    for (int w = 0; w < kImageWords; ++w)
        words += expected[w] != found[w] ? 1 : 0;
    return words;
}

}  // namespace dnp
