#pragma once
// What the tests look at in a document beyond the views the front ends use: its caption,
// and a configuration put in place as it is.

#include "app/ConfigDocument.h"
#include "files/ConfigFile.h"

namespace dnp::test {

struct DocumentProbe {
    ConfigDocument& document;

    const QString& caption() const { return document.caption(); }
    // The configuration the document holds from now on, as unsaved work in its file.
    void adopt(const ConfigFileData& data)
    {
        document.replaceConfiguration(document.withFileData(data), {document.filePath_, document.caption_, false});
    }
};

}  // namespace dnp::test

namespace dnp {

inline test::DocumentProbe inspect(const ConfigDocument& document)
{
    return {const_cast<ConfigDocument&>(document)};
}

}  // namespace dnp
