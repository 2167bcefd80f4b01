#pragma once
// The catalogue's data tables, turned into points. Catalog.cpp fills in type,
// TypeIndex, group and SelectionIndex; the data supplies the texts, codes and word counts.

#include "model/Catalog.h"

namespace dnp {

std::array<std::vector<CatalogPoint>, kPointTypeCount> buildCatalogPoints();

}  // namespace dnp
