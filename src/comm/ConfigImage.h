#pragma once
// Building the configuration image a send carries: the Class 0 points with their event
// classes, the unsolicited-response parameters, the block starts and the total.

#include "comm/ImageLayout.h"
#include "model/ConfigState.h"
#include "model/Result.h"

#include <QString>
#include <array>
#include <vector>

namespace dnp {

// "Uninitialized", "CM version 2.04+ Subset Mapping", "Individual Mapping (per this document)".
QString mappingText(Mapping mapping);
// The mapping of a retrieved mapping code (1, 4, 8); none for any other code.
std::optional<Mapping> mappingForCode(std::uint16_t code);

const QString& tooManyPointsMessage();  // "There are more than 240 data points chosen, please return to class meu."
const QString& noPointsMessage();       // "No configurations chosen, please return to class menu."

struct BuiltImage {
    ConfigImage image{};
    int wordCount = 0;  // point words in the list (word 255 in individual mapping)
};

// The image a send carries in the mapping chosen: in the two other
// mappings only word 0 is set. In individual mapping the counts are checked (more than
// 240 words, the multi-word points included, or none at all is refused with its
// message), the list holds each type's Class 0 sequence and each code carries the mark
// of the point's event class.
Result<BuiltImage> buildSendImage(const ConfigState& state, Mapping mapping);

}  // namespace dnp
