#pragma once

#include <QString>
#include <map>
#include <string>

class QLabel;
class QStatusBar;

namespace orvex {

// The main window's status bar: the prompt at its left ("Ready" while no command's prompt
// shows) and the panes at its right, the contact counts, the connection and the port. Each
// pane has a name that a screen reader says with its value.
class CStatusPanes {
  public:
    static constexpr int kCounts = 1;
    static constexpr int kConnection = 2;
    static constexpr int kPort = 3;

    // Adds the panes, blank, to the bar and shows the idle prompt.
    void Create(QStatusBar& bar);
    // Bytes in the program's character set; a pane that does not exist is left alone.
    void SetText(int pane, const std::string& text);
    // Pane 0 is the prompt.
    QString Text(int pane) const;

  private:
    struct SPane {
        QLabel* label;
        QString name;
    };

    QStatusBar* m_bar = nullptr;
    std::map<int, SPane> m_panes;
};

}  // namespace orvex
