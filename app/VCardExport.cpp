#include "app/VCardExport.h"

#include <map>

#include "app/OutputFile.h"
#include "app/VCardContact.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "db/VCardWriter.h"

namespace orvex {

namespace {

using F = CContactFields;

// The numbers of a group list (";3;7;").
std::vector<int> Numbers(const std::string& list) {
    std::vector<int> numbers;
    size_t start = 0;
    while ((start = list.find(';', start)) != std::string::npos) {
        const size_t end = list.find(';', start + 1);
        if (end == std::string::npos) {
            break;
        }
        if (end > start + 1) {
            numbers.push_back(std::atoi(list.substr(start + 1, end - start - 1).c_str()));
        }
        start = end;
    }
    return numbers;
}

bool ReadGroups(CADODatabase& database, std::map<int, std::string>& names, std::string& failure) {
    CADORecordset groups(&database);
    if (!groups.Open(CContactsTable::kSelectGroups, CADORecordset::openQuery)) {
        failure = groups.GetLastErrorString();
        return false;
    }
    for (groups.MoveFirst(); groups.RowCount() > 0 && !groups.IsEOF(); groups.MoveNext()) {
        int id = 0;
        std::string name;
        if (!groups.ReadInt(F::Name(F::kId), id) ||
            !groups.ReadText(F::Name(F::kFirstName), name)) {
            failure = groups.GetLastErrorString();
            return false;
        }
        names[id] = name;
    }
    return true;
}

}  // namespace

bool CVCardExport::ExportContacts(CADODatabase& database, const std::string& path,
                                  EVCardVersion version, int& count, std::string& error) {
    count = 0;
    COutputFile file;
    if (!file.Create(path)) {
        error = "The file " + path + " could not be created:\n" + file.Reason();
        return false;
    }
    std::string failure;
    std::map<int, std::string> groupNames;
    CADORecordset people(&database);
    if (ReadGroups(database, groupNames, failure) &&
        (!people.Open(CContactsTable::kSelectPersonal, CADORecordset::openQuery) ||
         !people.SortBy(CContactsTable::kSortByName))) {
        failure = people.GetLastErrorString();
    }
    std::array<std::string, F::kColumnCount> texts;
    for (people.MoveFirst(); failure.empty() && people.RowCount() > 0 && !people.IsEOF();
         people.MoveNext()) {
        int byDefault = 0;
        for (int c = 0; c < F::kColumnCount && failure.empty(); ++c) {
            if (!people.ReadText(F::Name(static_cast<F::EColumn>(c)),
                                 texts[static_cast<size_t>(c)])) {
                failure = people.GetLastErrorString();
            }
        }
        if (!failure.empty() || !people.ReadInt(F::Name(F::kDefaultAddress), byDefault)) {
            failure = failure.empty() ? people.GetLastErrorString() : failure;
            break;
        }
        std::array<std::vector<std::string>, 3> groups;
        for (size_t k = 0; k < F::kAddressKinds.size(); ++k) {
            for (const int number : Numbers(texts[F::kAddressKinds[k].groupList])) {
                if (const auto it = groupNames.find(number); it != groupNames.end()) {
                    groups[k].push_back(it->second);
                }
            }
        }
        file.WriteBytes(CVCardWriter::WriteCard(
            CVCardContact::ToCard(texts, byDefault, groups, version), version));
        ++count;
    }
    people.Close();
    return file.CommitExport(path, failure.empty(), error);
}

}  // namespace orvex
