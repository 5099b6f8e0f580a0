#pragma once

#include <QDialog>

namespace orvex {

class IContactsHost;

// "Setting Groups": the groups of the contacts table and the addresses in each.
class CGroupsDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CGroupsDlg(IContactsHost& host, QWidget* parent = nullptr);

  private:
    IContactsHost& m_host;
};

}  // namespace orvex
