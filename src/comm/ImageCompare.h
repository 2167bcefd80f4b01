#pragma once
// How the image a panel holds differs from the image a configuration sends: the two
// images mapped back as a retrieve maps them, and their configurations compared.

#include "comm/ImageLayout.h"
#include "comm/RetrieveMapping.h"
#include "model/ConfigCompare.h"

namespace dnp {

// The configuration a retrieved image holds: its selections, Class 0 order and
// unsolicited settings over the start-up values.
ConfigState retrievedState(const RetrievedConfig& retrieved);

// Nothing when the images agree word for word. Otherwise the differences of the mapped
// configurations (A the expected image, B the one found), after a "mapping" row when the
// mapping codes differ; when those agree but words still differ, one "image word N" row
// per differing word, the words in four hex digits.
ConfigDifferences describeImageDifferences(const ConfigImage& expected, const ConfigImage& found);

// How many of the 256 words differ.
int differingWords(const ConfigImage& expected, const ConfigImage& found);

}  // namespace dnp
