#pragma once
// How much of the panel's point list a configuration takes: each Class 0 point takes
// one word or more there, and the panel holds 240 of them.

#include "model/ConfigState.h"

namespace dnp {

constexpr int kMaxListWords = 240;

// Words that one Class 0 point takes in the list (its code words for Ain/Aout, the
// code and the word 1 for a counter; Bout points take one word in each Bout block).
int imageWordsOf(PointType type, int typeIndex);

// The words the Class 0 points of a configuration take in the list, as the panel counts
// them (at most kMaxListWords fit).
int listWordCount(const ConfigState& state);

// How many of the kMaxListWords words the panel takes a Class 0 selection uses.
struct WordBudget {
    int used = 0;

    bool over() const { return used > kMaxListWords; }
    // "183 of 240 words"
    QString text() const;
    // "The Class 0 points take 250 words; the panel takes 240."
    QString overText() const;
    // Under a refused send: "Class 0 takes 251 of the panel's 240 words; remove points in
    // the Class 0 editor."
    QString removeText() const;
};

// The words the Class 0 points of a configuration take, as the image counts them.
WordBudget wordBudget(const ConfigState& state);

}  // namespace dnp
