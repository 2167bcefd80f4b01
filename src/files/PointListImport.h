#pragma once
// Reading a point list back: the CSV or DNP3 Device Profile document the export writes,
// as the SCADA engineer may have edited it (points renumbered, moved to another event
// class), turned into the configuration it describes.
//
// Each CSV row or point element names a point by its type and its name as the export
// writes them (the description is ignored). The listed points are the Class 0
// selection; within each type the DNP point numbers give the Class 0 order and run
// 0, 1, 2, ... ; a number beyond every number the type can have is told as such (220 rows:
// "Analog Input 999 does not exist: the last is 219"). A point of several words is listed once per word, " (word k of m)" after
// its name, with consecutive numbers in word order. A point's event class (0-3) chooses
// it in that class alone; all words of a point carry the same class. The CSV dead band
// column sets the dead band of an event class: only an analog input in an event class
// carries one, and the rows of one class agree. A Device Profile document gives the
// unsolicited settings of each event class in the tool's own elements (PointList.h); a
// value there that does not read, or one given twice, is a problem of its line. A list
// may take more of the panel's words than it holds, as the class editor may: the
// configuration keeps it and its send is refused.
//
// CSV as spreadsheets write it (files/Csv.h): a UTF-8 byte-order mark, CR LF or LF line
// ends, quoted fields holding commas, doubled quotes and line breaks, blank rows, the
// apostrophe the export puts before a formula's first character; the columns are
// found by their header names, in any order, and other columns are ignored. The
// columns type, index, name and event_class are needed; class0 (always "yes") and
// deadband_percent are read when present.
//
// A list that cannot be taken gives nothing. Its problems, up to 20 in line order, each
// on a line of its own ("line 7: Analog Input number 5 is missing"), joined by "\n" make
// the Error's message, which therefore already names its lines; the Error's line is the
// first problem's line. From a file, the file is named once, on a line "PATH:" above them.

#include "files/ConfigFile.h"
#include "files/PointList.h"
#include "model/Result.h"

#include <QByteArrayView>
#include <QString>

namespace dnp {

// No point list approaches this size: a full list is some 40 KiB.
constexpr qint64 kMaxPointListBytes = 4 * 1024 * 1024;
// The problems of a refused list that its message lists.
constexpr int kMaxListedProblems = 20;

// A list taken, and the warning its front end shows.
struct ImportedPointList {
    ConfigFileData data;
    // "", or the unsolicited settings the list does not give with the values `base` gave
    // them: "The point list does not give these unsolicited settings, so they keep the
    // values of the configuration it was read into (the defaults for a new one): Class 1:
    // dead band 2 %, minimum events 1, notification delay 0; Class 2: ...".
    QString warning;
};

// The configuration a point list describes, over `base`: the selections and the Class 0
// order come from the list, the unsolicited settings from the list where it gives them
// (a CSV list the dead bands of the classes its analog inputs are in, a Device Profile
// document all of them), every other from `base`. Use ConfigFileData{} for the defaults.
Result<ImportedPointList> importPointList(QByteArrayView bytes, PointListFormat format, const ConfigFileData& base);

// The same from a file, read no further than kMaxPointListBytes; the problems under the
// line "PATH:". A file that cannot be opened fails as unopened (Error::unopened()).
Result<ImportedPointList> loadPointList(const QString& path, PointListFormat format, const ConfigFileData& base);

}  // namespace dnp
