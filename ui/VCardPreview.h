#pragma once

#include <QString>
#include <vector>

namespace orvex {

// What the vCard import would store, as the preview shows it before anything is written: one
// entry per card, with every value that cannot be stored as it stands and what is proposed for
// it. Built by the import (which knows the mapping), shown by CVCardPreviewDlg.
struct SVCardPreviewProblem {
    QString field;     // where it would go: "Work Phone", "Group", "Member of Team", ...
    QString value;     // as the card has it
    QString proposal;  // what is stored instead; empty when the value is left out
    QString reason;    // "longer than 15 characters", "a character outside Windows-1252", ...
};

struct SVCardPreviewCard {
    int number = 0;          // 1 for the file's first card
    int line = 0;            // the line of its BEGIN:VCARD
    QString name;            // first and last name as stored
    QString stored;          // a summary of what is stored: addresses, phones, company, groups
    bool duplicate = false;  // same names and an address in common with a contact there
    bool skipped = false;    // not stored (a duplicate that is not kept, an empty card)
    std::vector<SVCardPreviewProblem> problems;
};

struct SVCardPreview {
    std::vector<SVCardPreviewCard> cards;
    // The counts the dialog shows above the list, one line each ("12 cards read", ...).
    std::vector<QString> counts;
};

}  // namespace orvex
