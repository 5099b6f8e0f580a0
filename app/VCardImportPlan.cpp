#include "app/VCardImportPlan.h"

#include <iconv.h>

#include <algorithm>
#include <cstdint>

#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "db/TableAppender.h"
#include "db/VCardReader.h"
#include "db/Win1252.h"
#include "ui/FieldCheck.h"

namespace orvex {

namespace {

using F = CContactFields;

// How the preview names a field: the grid's caption, else the editor's label.
std::string Caption(F::EColumn column) {
    const SContactField& field = F::Field(column);
    if (field.gridCaption != nullptr) {
        return field.gridCaption;
    }
    std::string label = field.editorLabel != nullptr ? field.editorLabel : field.name;
    if (!label.empty() && label.back() == ':') {
        label.pop_back();
    }
    if (field.characters == ECharacterSet::kPhone && column != F::kZip && column != F::kFax) {
        label += " Phone";
    }
    return label;
}

// The text as near as Windows-1252 comes to it ("Łódź" gives "Lodz"); empty when a character
// has no near form at all.
std::string NearestWin1252(const std::string& utf8) {
    const iconv_t converter = iconv_open("WINDOWS-1252//TRANSLIT", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return "";
    }
    std::string in = utf8;
    std::string out(utf8.size() * 4 + 16, '\0');
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t done = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (done == static_cast<size_t>(-1) || inLeft != 0) {
        return "";
    }
    out.resize(out.size() - outLeft);
    // glibc writes '?' for what it cannot bring nearer: such a text is not stored.
    const auto questions = [](const std::string& s) { return std::count(s.begin(), s.end(), '?'); };
    return questions(out) > questions(utf8) ? "" : out;
}

bool SameAddress(const std::array<std::string, 3>& a, const std::array<std::string, 3>& b) {
    for (const std::string& x : a) {
        if (!x.empty() && std::find(b.begin(), b.end(), x) != b.end()) {
            return true;
        }
    }
    return false;
}

std::array<std::string, 3> Addresses(const std::array<std::string, F::kColumnCount>& texts) {
    return {texts[F::kWireless], texts[F::kWorkEmail], texts[F::kHomeEmail]};
}

}  // namespace

std::string CVCardImportPlan::Fit(F::EColumn column, const std::string& utf8,
                                  std::vector<SFitProblem>& problems) {
    const SContactField& field = F::Field(column);
    std::vector<std::string> reasons;
    std::string bytes;
    if (!CWin1252::FromUtf8(utf8, bytes)) {
        bytes = NearestWin1252(utf8);
        reasons.push_back(bytes.empty() ? "characters outside Windows-1252"
                                        : "characters outside Windows-1252, written as near "
                                          "as they come");
    }
    bool left = bytes.empty() && !utf8.empty();
    // Line breaks and tabs (a note over several lines) become blanks.
    bool controls = false;
    for (char& c : bytes) {
        if (static_cast<unsigned char>(c) < 0x20) {
            c = ' ';
            controls = true;
        }
    }
    if (controls) {
        reasons.push_back("line breaks written as blanks");
    }
    if (!left && field.characters == ECharacterSet::kPhone) {
        // The usual ways of writing a number: blanks, dots, slashes, and "+" for the
        // international prefix, which the pager dials as "00".
        std::string digits;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const char c = bytes[i];
            if (c == '+' && digits.empty()) {
                digits += "00";
            } else if (c != ' ' && c != '.' && c != '/' && c != '\xA0') {
                digits += c;
            }
        }
        if (digits != bytes) {
            reasons.push_back("written without blanks, dots and \"+\"");
            bytes = digits;
        }
        if (!CFieldCheck::IsValidPhone(bytes)) {
            reasons.push_back("characters a phone number cannot hold");
            left = true;
        }
    } else if (!left && field.characters == ECharacterSet::kAddress &&
               !CFieldCheck::IsValidAddress(bytes)) {
        reasons.push_back("a blank in an address");
        left = true;
    }
    if (!left && static_cast<int>(bytes.size()) > field.maxLength) {
        reasons.push_back("longer than " + std::to_string(field.maxLength) + " characters");
        bytes.resize(static_cast<size_t>(field.maxLength));
    }
    if (left) {
        bytes.clear();
    }
    if (!reasons.empty()) {
        std::string reason;
        for (const std::string& r : reasons) {
            reason += (reason.empty() ? "" : "; ") + r;
        }
        problems.push_back({Caption(column), utf8, CWin1252::ToUtf8(bytes), reason});
    }
    return bytes;
}

bool CVCardImportPlan::Read(const std::string& path, std::string& error) {
    m_cards.clear();
    return CVCardReader::ReadFile(path, m_cards, error);
}

bool CVCardImportPlan::ReadBook(CADODatabase& database, std::string& error) {
    CADORecordset rows(&database);
    if (!rows.Open("select * from [t_Contacts]", CADORecordset::openQuery)) {
        error = CADODatabase::ReasonOf(rows.GetLastErrorString());
        return false;
    }
    std::map<int, int> members;
    std::vector<std::pair<int, std::string>> groups;
    std::array<std::string, F::kColumnCount> texts;
    for (rows.MoveFirst(); rows.RowCount() > 0 && !rows.IsEOF(); rows.MoveNext()) {
        int id = 0;
        int isGroup = 0;
        bool ok = rows.ReadInt(F::Name(F::kId), id) && rows.ReadInt(F::Name(F::kIsGroup), isGroup);
        for (const F::EColumn c :
             {F::kFirstName, F::kLastName, F::kWireless, F::kWorkEmail, F::kHomeEmail,
              F::kWirelessGroups, F::kWorkEmailGroups, F::kHomeEmailGroups}) {
            ok = ok && rows.ReadText(F::Name(c), texts[c]);
        }
        if (!ok) {
            error = CADODatabase::ReasonOf(rows.GetLastErrorString());
            return false;
        }
        if (isGroup == 1) {
            groups.emplace_back(id, texts[F::kFirstName]);
            continue;
        }
        m_people.emplace(std::make_pair(texts[F::kFirstName], texts[F::kLastName]),
                         Addresses(texts));
        for (const auto& kind : F::kAddressKinds) {
            const std::string& list = texts[kind.groupList];
            for (size_t at = list.find(';'); at != std::string::npos && at + 1 < list.size();
                 at = list.find(';', at + 1)) {
                ++members[std::atoi(list.c_str() + at + 1)];
            }
        }
    }
    for (const auto& [id, name] : groups) {
        m_groups.push_back({name, id, members[id]});
    }
    return true;
}

size_t CVCardImportPlan::GroupIndex(const std::string& name) {
    for (size_t i = 0; i < m_groups.size(); ++i) {
        if (m_groups[i].name == name) {
            return i;
        }
    }
    return m_groups.size();
}

void CVCardImportPlan::PlaceGroups(SPlannedContact& planned, const SCardContact& card) {
    std::vector<std::pair<size_t, std::string>> memberships;
    if (card.groupsPerAddress) {
        for (size_t k = 0; k < 3; ++k) {
            for (const std::string& name : card.groupsOfAddress[k]) {
                memberships.emplace_back(k, name);
            }
        }
    } else {
        for (const std::string& name : card.groups) {
            if (planned.byDefault == 0) {
                planned.problems.push_back(
                    {"Member of " + name, name, "", "the contact has no address to join with"});
                continue;
            }
            memberships.emplace_back(static_cast<size_t>(planned.byDefault - 1), name);
        }
    }
    for (const auto& [k, utf8] : memberships) {
        const F::EColumn address = F::kAddressKinds[k].address;
        if (planned.texts[address].empty()) {
            continue;
        }
        std::vector<SFitProblem> nameProblems;
        const std::string name = Fit(F::kFirstName, utf8, nameProblems);
        for (SFitProblem& problem : nameProblems) {
            problem.field = "Group";
            problem.reason += " (a group's name)";
            planned.problems.push_back(problem);
        }
        if (name.empty()) {
            continue;
        }
        size_t index = GroupIndex(name);
        if (index == m_groups.size()) {
            if (static_cast<int>(m_groups.size()) >= F::kMaxGroups) {
                planned.problems.push_back(
                    {"Group", utf8, "",
                     "the book holds " + std::to_string(F::kMaxGroups) + " groups at most"});
                continue;
            }
            m_groups.push_back({name, 0, 0});
        }
        auto& groups = planned.groups[k];
        if (std::find(groups.begin(), groups.end(), index) != groups.end()) {
            continue;
        }
        if (m_groups[index].members >= F::kMaxGroupMembers) {
            planned.problems.push_back(
                {"Member of " + CWin1252::ToUtf8(name), CWin1252::ToUtf8(planned.texts[address]),
                 "",
                 "a group holds " + std::to_string(F::kMaxGroupMembers) + " addresses at most"});
            continue;
        }
        ++m_groups[index].members;
        groups.push_back(index);
    }
}

bool CVCardImportPlan::Build(CADODatabase& database, bool replace, bool keepDuplicates,
                             std::string& error) {
    m_replace = replace;
    m_contacts.clear();
    m_groups.clear();
    m_people.clear();
    if (!replace && !ReadBook(database, error)) {
        return false;
    }
    m_contacts.reserve(m_cards.size());
    for (size_t i = 0; i < m_cards.size(); ++i) {
        const SCardContact card = CVCardContact::FromCard(m_cards[i]);
        SPlannedContact planned;
        planned.number = static_cast<int>(i) + 1;
        planned.line = m_cards[i].firstLine;
        planned.ignored = card.ignored;
        bool anything = false;
        for (int c = 0; c < F::kColumnCount; ++c) {
            const auto column = static_cast<F::EColumn>(c);
            if (F::Field(column).characters != ECharacterSet::kNone) {
                planned.texts[column] = Fit(column, card.texts[column], planned.problems);
                anything = anything || !planned.texts[column].empty();
            }
        }
        for (const auto& kind : F::kAddressKinds) {
            planned.texts[kind.groupList] = ";";
        }
        // The preferred address when there is one, else the first there is.
        const int preferred = static_cast<int>(card.preferred);
        if (preferred != 0 && !planned.texts[F::kAddressKinds[preferred - 1].address].empty()) {
            planned.byDefault = preferred;
        } else {
            for (const auto& kind : F::kAddressKinds) {
                if (planned.byDefault == 0 && !planned.texts[kind.address].empty()) {
                    planned.byDefault = kind.Number();
                }
            }
        }
        if (!replace) {
            const auto [from, to] = m_people.equal_range(
                std::make_pair(planned.texts[F::kFirstName], planned.texts[F::kLastName]));
            for (auto it = from; it != to && !planned.duplicate; ++it) {
                planned.duplicate = SameAddress(it->second, Addresses(planned.texts));
            }
        }
        planned.skipped = !anything || (planned.duplicate && !keepDuplicates);
        if (!planned.skipped) {
            PlaceGroups(planned, card);
        }
        m_contacts.push_back(std::move(planned));
    }
    return true;
}

int CVCardImportPlan::ToStore() const {
    return static_cast<int>(std::count_if(m_contacts.begin(), m_contacts.end(),
                                          [](const SPlannedContact& c) { return !c.skipped; }));
}

int CVCardImportPlan::Duplicates() const {
    return static_cast<int>(std::count_if(m_contacts.begin(), m_contacts.end(),
                                          [](const SPlannedContact& c) { return c.duplicate; }));
}

int CVCardImportPlan::Changed() const {
    return Problems(true);
}

int CVCardImportPlan::LeftOut() const {
    return Problems(false);
}

int CVCardImportPlan::Problems(bool changed) const {
    int n = 0;
    for (const auto& c : m_contacts) {
        if (c.skipped) {
            continue;
        }
        for (const SFitProblem& p : c.problems) {
            n += p.proposal.empty() != changed ? 1 : 0;
        }
    }
    return n;
}

int CVCardImportPlan::Ignored() const {
    int n = 0;
    for (const auto& c : m_contacts) {
        n += c.ignored;
    }
    return n;
}

bool CVCardImportPlan::Store(CADODatabase& database, std::string& error) const {
    if (m_replace && !database.Execute(CContactsTable::kDeleteAll)) {
        error = database.GetErrorDescription();
        return false;
    }
    int next = CContactsTable::NextContactId(database);
    if (next <= 0) {
        error = "the highest identifier of the table cannot be read";
        return false;
    }
    // New groups that a stored contact joins get the next numbers.
    std::vector<int> ids(m_groups.size(), 0);
    for (size_t g = 0; g < m_groups.size(); ++g) {
        ids[g] = m_groups[g].existingId;
    }
    for (const SPlannedContact& contact : m_contacts) {
        for (const auto& groups : contact.groups) {
            for (const size_t g : groups) {
                if (!contact.skipped && ids[g] == 0) {
                    ids[g] = next++;
                }
            }
        }
    }
    std::vector<std::string> columns;
    for (const auto& field : F::kFields) {
        columns.emplace_back(field.name);
    }
    CTableAppender table(database);
    if (!table.Prepare(CContactsTable::kTable, columns)) {
        error = table.Error();
        return false;
    }
    auto append = [&](int id, int isGroup, const std::array<std::string, F::kColumnCount>& texts,
                      int byDefault) {
        if (id > INT16_MAX) {
            error = "the identifiers go beyond what the table holds";
            return false;
        }
        std::vector<CFieldValue> row;
        for (int c = 0; c < F::kColumnCount; ++c) {
            const auto column = static_cast<F::EColumn>(c);
            if (!F::Field(column).IsNumber()) {
                row.push_back(CFieldValue::Text(texts[column]));
                continue;
            }
            const int value = column == F::kIsGroup          ? isGroup
                              : column == F::kDefaultAddress ? byDefault
                                                             : id;
            row.push_back(CFieldValue::Int(EValueKind::Int16, value));
        }
        if (!table.Append(row)) {
            error = table.Error();
            return false;
        }
        return true;
    };
    for (size_t g = 0; g < m_groups.size(); ++g) {
        if (ids[g] != 0 && m_groups[g].existingId == 0) {
            std::array<std::string, F::kColumnCount> texts{};
            texts[F::kFirstName] = m_groups[g].name;
            for (const auto& kind : F::kAddressKinds) {
                texts[kind.groupList] = ";";
            }
            if (!append(ids[g], 1, texts, 0)) {
                return false;
            }
        }
    }
    for (const SPlannedContact& contact : m_contacts) {
        if (contact.skipped) {
            continue;
        }
        std::array<std::string, F::kColumnCount> texts = contact.texts;
        for (size_t k = 0; k < F::kAddressKinds.size(); ++k) {
            std::string list = ";";
            for (const size_t g : contact.groups[k]) {
                list += std::to_string(ids[g]) + ";";
            }
            texts[F::kAddressKinds[k].groupList] = list;
        }
        if (!append(next++, 0, texts, contact.byDefault)) {
            return false;
        }
    }
    int row = -1;
    return CContactsTable::RenumberEntries(database, -1, row, error);
}

}  // namespace orvex
