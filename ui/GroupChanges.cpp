#include "ui/GroupChanges.h"

#include <cstdio>

#include "contact/ContactFields.h"
#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "db/GroupList.h"

namespace orvex {

namespace {

// One column of the member row lookup. The database keeps an empty text as null, so an empty
// text must find a null column as well as an empty one.
std::string TextCondition(const char* column, const std::string& text) {
    if (text.empty()) {
        return std::string("(") + column + " is null or " + column + "='')";
    }
    return std::string(column) + "='" + CGroupChanges::QuoteSql(text) + "'";
}

// The list without any token of the group.
std::string LeaveAll(std::string list, int group) {
    while (CGroupList::Contains(list, group)) {
        list = CGroupList::Leave(list, group);
    }
    return list;
}

// After a download a group and a contact may share an iCID (the device numbers its groups
// apart from its personal entries): a group is looked up by its number and its kind.
constexpr const char* kSelectGroupById = "select * from [t_Contacts] where iCID=%d and iGroup=1";

}  // namespace

std::string CGroupChanges::QuoteSql(const std::string& text) {
    std::string quoted;
    quoted.reserve(text.size());
    for (char c : text) {
        quoted += c;
        if (c == '\'') {
            quoted += '\'';
        }
    }
    return quoted;
}

std::string CGroupChanges::MemberRowQuery(const CAddressSelection& address) {
    const char* addressColumn = CAddressSelection::AddressColumnOf(address.kind);
    if (!addressColumn) {
        return std::string();
    }
    return "select * from [t_Contacts] where iCID=" + std::to_string(address.contactId) + " and " +
           TextCondition("strFName", address.first) + " and " +
           TextCondition("strLName", address.last) + " and " +
           TextCondition(addressColumn, address.address);
}

bool CGroupChanges::Fail(const std::string& errorBlock) {
    m_failure = CADODatabase::ReasonOf(errorBlock);
    return false;
}

template <typename Change>
bool CGroupChanges::ChangeList(const CAddressSelection& address, Change change) {
    m_failure.clear();
    const char* column = CGroupList::ColumnFor(address.kind);
    if (!column) {
        m_failure = "the address has no kind";
        return false;
    }
    CADORecordset contact(&m_database);
    if (!contact.Open(MemberRowQuery(address), CADORecordset::openQuery)) {
        return Fail(contact.GetLastErrorString());
    }
    // A group row sharing the contact's number (after a download) is not the contact.
    contact.MoveFirst();
    int kind = 1;
    while (!contact.IsEOF() && (!contact.ReadInt("iGroup", kind) || kind != 0)) {
        contact.MoveNext();
    }
    if (contact.IsEOF()) {
        m_failure = "no contact holds this name and address";
        return false;
    }
    std::string list;
    if (!contact.ReadText(column, list)) {
        return Fail(contact.GetLastErrorString());
    }
    const std::string changed = change(list);
    if (changed != list && (!contact.WriteText(column, changed) || !contact.Update())) {
        return Fail(contact.GetLastErrorString());
    }
    return true;
}

bool CGroupChanges::Join(const CAddressSelection& address, int group) {
    return ChangeList(address,
                      [group](const std::string& list) { return CGroupList::Join(list, group); });
}

bool CGroupChanges::Leave(const CAddressSelection& address, int group) {
    return ChangeList(address, [group](const std::string& list) { return LeaveAll(list, group); });
}

bool CGroupChanges::Begin() {
    m_failure.clear();
    return m_database.BeginTrans() || Fail(m_database.GetLastErrorString());
}

bool CGroupChanges::Finish(bool ok, bool began) {
    return m_database.EndTrans(ok, began, m_failure);
}

bool CGroupChanges::AddGroup(const std::string& name, int& id) {
    const bool began = Begin();
    id = began ? CContactsTable::NextContactId(m_database) : 0;
    bool ok = began;
    if (ok && id <= 0) {
        m_failure = "the next group number could not be read";
        ok = false;
    }
    if (ok) {
        CADORecordset table(&m_database);
        ok = (table.Open(CContactsTable::kTable, CADORecordset::openTable) && table.AddNew() &&
              table.WriteInt("iCID", id) && table.WriteInt("iEIdx", id) &&
              table.WriteInt("iGroup", 1) && table.WriteText("strFName", name) && table.Update()) ||
             Fail(table.GetLastErrorString());
    }
    ok = ok && RenumberEntries();
    return Finish(ok, began);
}

bool CGroupChanges::RenameGroup(int group, const std::string& name) {
    const bool began = Begin();
    bool ok = began;
    if (ok) {
        CADORecordset row(&m_database);
        ok = row.Open(CContactsTable::Format(kSelectGroupById, group), CADORecordset::openQuery) ||
             Fail(row.GetLastErrorString());
        if (ok && row.RowCount() == 0) {
            m_failure = "the group was not found in the database";
            ok = false;
        }
        if (ok) {
            row.MoveFirst();
            ok =
                (row.WriteText("strFName", name) && row.Update()) || Fail(row.GetLastErrorString());
        }
    }
    ok = ok && RenumberEntries();
    return Finish(ok, began);
}

bool CGroupChanges::DeleteGroup(int group) {
    const bool began = Begin();
    bool ok =
        began &&
        (m_database.Execute(CContactsTable::Format(CContactsTable::kDeleteGroupById, group)) ||
         Fail(m_database.GetLastErrorString()));
    if (ok) {
        CADORecordset members(&m_database);
        ok = CGroupList::OpenMembers(group, members) || Fail(members.GetLastErrorString());
        for (members.MoveFirst(); ok && !members.IsEOF(); members.MoveNext()) {
            for (const CContactFields::SAddressKind& kind : CContactFields::kAddressKinds) {
                if (!ok) {
                    break;
                }
                const char* column = CContactFields::Name(kind.groupList);
                std::string list;
                ok = members.ReadText(column, list) || Fail(members.GetLastErrorString());
                if (ok && CGroupList::Contains(list, group)) {
                    ok = members.WriteText(column, LeaveAll(list, group)) ||
                         Fail(members.GetLastErrorString());
                }
            }
            ok = ok && (members.Update() || Fail(members.GetLastErrorString()));
        }
    }
    ok = ok && RenumberEntries();
    return Finish(ok, began);
}

bool CGroupChanges::RenumberEntries() {
    int personalRow = -1;
    std::string error;
    return CContactsTable::RenumberEntries(m_database, -1, personalRow, error) || Fail(error);
}

bool CGroupChanges::CountsText(std::string& text) {
    CADORecordset personal(&m_database);
    CADORecordset groups(&m_database);
    if (!personal.Open(CContactsTable::kSelectPersonal, CADORecordset::openQuery) ||
        !groups.Open(CContactsTable::kSelectGroups, CADORecordset::openQuery)) {
        return false;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "P:%03d/G:%02d", personal.RowCount(), groups.RowCount());
    text = buffer;
    return true;
}

}  // namespace orvex
