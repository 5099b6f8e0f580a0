#pragma once

#include <QObject>
#include <string>

#include "link/MessageBox.h"

namespace orvex {

// The program's reports, prompts and notices as real message boxes: application-modal, no
// parent. Reports have the critical icon and OK; prompts Yes and No with Yes the default, no
// icon; notices their kind's icon and OK.
// A box raised on another thread (the receive thread's Error 302 or 303) is shown by the
// user-interface thread, and the raising thread waits until the user closes it.
class CQtMessageBox : public QObject, public IMessageBox {
    Q_OBJECT
  public:
    explicit CQtMessageBox(QObject* parent = nullptr);

    int Report(const std::string& caption, const std::string& text) override;
    int Prompt(const std::string& caption, const std::string& text) override;
    // The details go under the text, selectable, so that a command in them can be copied.
    int ReportWithDetails(const std::string& caption, const std::string& text,
                          const std::string& details) override;
    int Notice(ENotice kind, const std::string& caption, const std::string& text,
               const std::string& more) override;

  private:
    // A box's icon and buttons.
    enum EStyle { kCriticalOk, kWarningOk, kYesNo };
    // `details` go under the text; `more` behind the details button.
    Q_INVOKABLE int Show(int style, const QString& caption, const QString& text,
                         const QString& details, const QString& more);
    int ShowFromAnyThread(EStyle style, const QString& caption, const QString& text,
                          const QString& details = {}, const QString& more = {});
};

}  // namespace orvex
