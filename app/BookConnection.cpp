#include "app/BookConnection.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "db/ContactsTable.h"
#include "link/PortDiagnosis.h"

namespace orvex {

void CBookConnection::Close() {
    m_personal.Close();
    m_database.Close();
}

CBookConnection::EOpenResult CBookConnection::Open(const std::string& path) {
    Close();
    m_path = path;
    m_connectionString = CContactsTable::ConnectionString(m_path);
    if (!m_database.Open(m_connectionString, "", "")) {
        return EOpenResult::kConnectionFailed;
    }
    return CContactsTable::OpenPersonal(m_personal) ? EOpenResult::kOk
                                                    : EOpenResult::kRecordsetFailed;
}

bool CBookConnection::Reopen() {
    if (!m_database.Open(m_connectionString, "", "")) {
        return false;
    }
    CContactsTable::OpenPersonal(m_personal);
    return true;
}

int CBookConnection::CountTableRows() {
    CADORecordset table(&m_database);
    return table.Open(CContactsTable::kTable, CADORecordset::openTable) ? table.RowCount() : 0;
}

std::string CBookConnection::WhyUnusable(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return {};  // it does not exist: the report says just that
    }
    if (::access(path.c_str(), R_OK | W_OK) != 0) {
        return path + " exists, but it cannot be used: " + std::strerror(errno) + ".";
    }
    std::string text = path + " exists, but another program holds it";
    const auto holders = CPortDiagnosis::Holders(path);
    for (size_t i = 0; i < holders.size(); ++i) {
        text += (i == 0 ? ": " : ", ") + CPortDiagnosis::HolderText(holders[i]);
    }
    return text +
           ".\nClose that program (another copy of Orvex Manager, for example), then "
           "start again.";
}

}  // namespace orvex
