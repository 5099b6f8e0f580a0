#pragma once

#include <string>

#include "db/ADODatabase.h"
#include "db/ADORecordset.h"

namespace orvex {

// A group list: the groups one address of a personal contact belongs to, as a text that
// begins and ends with ";" and holds group numbers between semicolons (";" for none, ";5;12;"
// for groups 5 and 12 in the order they were joined).
class CGroupList {
  public:
    static constexpr const char* kEmpty = ";";
    // The list column of an address kind by its number (EAddressKind); null for none.
    static const char* ColumnFor(int kind);

    static bool Contains(const std::string& list, int group);
    // The list with the group appended, or unchanged when it holds the group already.
    static std::string Join(const std::string& list, int group);
    // The list without the group.
    static std::string Leave(const std::string& list, int group);

    // Opens the personal contacts with at least one address in the group, sorted by name.
    static bool OpenMembers(int group, CADORecordset& members);
    // Deletes the group's row and takes the group out of every member's three lists.
    static bool DeleteGroup(CADODatabase& database, int group);
};

}  // namespace orvex
