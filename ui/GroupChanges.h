#pragma once

#include <string>

#include "ui/AddressSelection.h"

namespace orvex {

class CADODatabase;

// The groups dialog's writes to t_Contacts: an address joining or leaving a group, a group
// added, renamed or deleted, each followed by the renumbering of the entry indexes. A change
// is made whole or not at all; after a failure the table is as it was and LastFailure() says
// why.
class CGroupChanges {
  public:
    explicit CGroupChanges(CADODatabase& database) : m_database(database) {}

    // The text with every single quote doubled, for a literal in a statement.
    static std::string QuoteSql(const std::string& text);
    // The statement that finds the row holding one address: by its contact, names and
    // address, an empty text matching a null or an empty column alike. Empty for kind 0.
    static std::string MemberRowQuery(const CAddressSelection& address);

    // The address's group list gains the group (kept when it has it already).
    bool Join(const CAddressSelection& address, int group);
    // The address's group list loses the group.
    bool Leave(const CAddressSelection& address, int group);
    // A group row numbered one above every row; its number in id.
    bool AddGroup(const std::string& name, int& id);
    bool RenameGroup(int group, const std::string& name);
    // The group's row goes and its token leaves every group list; the contacts stay.
    bool DeleteGroup(int group);
    // Sets iEIdx of every row, personal or group, to its place in the table ordered by first
    // and last name.
    bool RenumberEntries();
    // "P:%03d/G:%02d": the personal rows and the group rows of the table.
    bool CountsText(std::string& text);

    const std::string& LastFailure() const { return m_failure; }

  private:
    // Changes one address's group list with change(list); false when the row is not found.
    template <typename Change>
    bool ChangeList(const CAddressSelection& address, Change change);
    bool Fail(const std::string& errorBlock);
    bool Begin();
    // Commits after steps that all succeeded, otherwise undoes them.
    bool Finish(bool ok, bool began);

    CADODatabase& m_database;
    std::string m_failure;
};

}  // namespace orvex
