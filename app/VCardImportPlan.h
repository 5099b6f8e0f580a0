#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "app/VCardContact.h"
#include "db/ADODatabase.h"

namespace orvex {

// One value of a card that cannot be stored as it stands, and what is stored instead.
struct SFitProblem {
    std::string field;     // the field's caption, or "Group", "Member of <group>"
    std::string value;     // as the card has it (UTF-8)
    std::string proposal;  // what is stored (UTF-8); empty when the value is left out
    std::string reason;
};

// A card as it would be stored.
struct SPlannedContact {
    int number = 0;  // 1 for the file's first card
    int line = 0;
    std::array<std::string, CContactFields::kColumnCount> texts;  // Windows-1252, as stored
    int byDefault = 0;
    std::array<std::vector<size_t>, 3> groups;  // per address kind: indexes into Groups()
    std::vector<SFitProblem> problems;
    bool duplicate = false;
    bool skipped = false;  // not stored: a duplicate not kept, or a card with nothing to store
    int ignored = 0;
};

struct SPlannedGroup {
    std::string name;    // Windows-1252
    int existingId = 0;  // a group of the same name already in the book (adding only)
    int members = 0;     // addresses in it, those already there included
};

// The vCard import before anything is stored: the file's cards fitted to the table (cut to
// the column's length, Windows-1252, the field's characters), their groups within the book's
// limits, and the duplicates of contacts already there. Every change to a value is listed in
// the contact's problems. Then Store writes it, in one transaction.
class CVCardImportPlan {
  public:
    using F = CContactFields;

    // Reads the file (false: error says why, naming the line).
    bool Read(const std::string& path, std::string& error);
    void SetCards(std::vector<SVCard> cards) { m_cards = std::move(cards); }

    // Fits the cards for a mode. Adding looks at the book in database: its groups (by name),
    // their members, and the contacts the cards may duplicate. False when the book cannot be
    // read.
    bool Build(CADODatabase& database, bool replace, bool keepDuplicates, std::string& error);

    const std::vector<SPlannedContact>& Contacts() const { return m_contacts; }
    const std::vector<SPlannedGroup>& Groups() const { return m_groups; }
    size_t CardCount() const { return m_cards.size(); }
    // The counts of the last Build: contacts to store, duplicates, values changed, values left
    // out, properties ignored.
    int ToStore() const;
    int Duplicates() const;
    int Changed() const;
    int LeftOut() const;
    int Ignored() const;

    // Writes the plan of the last Build inside the caller's transaction: in replace mode the
    // table is emptied first; identifiers follow the highest one, entry indexes are renumbered
    // in name order afterwards.
    bool Store(CADODatabase& database, std::string& error) const;

    // The texts a value is fitted to, exposed for its tests: the value for the column in
    // Windows-1252, with what was changed added to problems.
    static std::string Fit(F::EColumn column, const std::string& utf8,
                           std::vector<SFitProblem>& problems);

  private:
    // The values of the contacts to store that were changed (a proposal made), or left out.
    int Problems(bool changed) const;
    bool ReadBook(CADODatabase& database, std::string& error);
    void PlaceGroups(SPlannedContact& planned, const SCardContact& card);
    size_t GroupIndex(const std::string& name);

    std::vector<SVCard> m_cards;
    std::vector<SPlannedContact> m_contacts;
    std::vector<SPlannedGroup> m_groups;
    bool m_replace = false;
    // The book as it is, for adding: personal contacts by first and last name (their
    // addresses), groups by name.
    std::multimap<std::pair<std::string, std::string>, std::array<std::string, 3>> m_people;
    std::map<std::string, std::pair<int, int>> m_bookGroups;  // name -> id, members
};

}  // namespace orvex
