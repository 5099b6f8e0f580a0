#include "db/GroupList.h"

#include "contact/ContactFields.h"
#include "db/ContactsTable.h"

namespace orvex {

namespace {

std::string Token(int group) {
    std::string token(1, ';');
    token += std::to_string(group);
    token += ';';
    return token;
}

}  // namespace

const char* CGroupList::ColumnFor(int kind) {
    const CContactFields::SAddressKind* address = CContactFields::AddressKind(kind);
    return address ? CContactFields::Name(address->groupList) : nullptr;
}

bool CGroupList::Contains(const std::string& list, int group) {
    return list.find(Token(group)) != std::string::npos;
}

std::string CGroupList::Join(const std::string& list, int group) {
    if (Contains(list, group)) {
        return list;
    }
    // A list is never empty; a null one reads "" and counts as no group.
    const std::string base = list.empty() ? kEmpty : list;
    return base + std::to_string(group) + ";";
}

std::string CGroupList::Leave(const std::string& list, int group) {
    const std::string token = Token(group);
    const size_t at = list.find(token);
    if (at == std::string::npos) {
        return list;
    }
    return list.substr(0, at) + ";" + list.substr(at + token.size());
}

bool CGroupList::OpenMembers(int group, CADORecordset& members) {
    return members.Open(CContactsTable::Format(CContactsTable::kSelectPersonalMembers, group),
                        CADORecordset::openQuery) &&
           members.SortBy(CContactsTable::kSortByName);
}

bool CGroupList::DeleteGroup(CADODatabase& database, int group) {
    if (!database.Execute(CContactsTable::Format(CContactsTable::kDeleteGroupById, group))) {
        return false;
    }
    CADORecordset members(&database);
    if (!OpenMembers(group, members)) {
        return false;
    }
    bool ok = true;
    for (members.MoveFirst(); !members.IsEOF(); members.MoveNext()) {
        for (const CContactFields::SAddressKind& kind : CContactFields::kAddressKinds) {
            const char* column = CContactFields::Name(kind.groupList);
            std::string list;
            if (members.ReadText(column, list) && Contains(list, group)) {
                ok = members.WriteText(column, Leave(list, group)) && ok;
            }
        }
        ok = members.Update() && ok;
    }
    return ok;
}

}  // namespace orvex
