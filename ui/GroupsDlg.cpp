#include "ui/GroupsDlg.h"

#include "ui/ContactsHost.h"

namespace orvex {

CGroupsDlg::CGroupsDlg(IContactsHost& host, QWidget* parent) : QDialog(parent), m_host(host) {
    setWindowTitle("Setting Groups");
}

}  // namespace orvex
