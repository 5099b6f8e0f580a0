#pragma once

#include <string>

namespace orvex {

// Answers of a message box, with the values callers compare against.
inline constexpr int IDOK = 1;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// The user's message boxes: a numbered report or a Yes/No prompt. The windows provide one that
// shows real boxes; a report raised on another thread is carried to the user-interface thread
// and the raising thread waits until the box is closed.
class IMessageBox {
  public:
    virtual ~IMessageBox() = default;
    // A report: error icon, OK, the given caption ("Error 301"). Returns IDOK.
    virtual int Report(const std::string& caption, const std::string& text) = 0;
    // A report that also says why and what to do: `details` (UTF-8 lines, unlike the
    // Windows-1252 text) go under the report's text. A box without room for them shows the
    // report alone.
    virtual int ReportWithDetails(const std::string& caption, const std::string& text,
                                  const std::string& details) {
        (void)details;
        return Report(caption, text);
    }
    // A prompt: Yes and No, Yes the default, no icon. Returns IDYES or IDNO.
    virtual int Prompt(const std::string& caption, const std::string& text) = 0;

    // The icons of a notice.
    enum class ENotice { kWarning, kCritical };
    // A box outside the numbered reports: an export that could not be written, settings that
    // could not be saved, a start that cannot go on. The kind's icon and OK. `text` is UTF-8
    // (it names files and gives the system's reasons), unlike a report's; `more`, when there
    // is any, waits behind the box's details button. A box that has no such styles shows a
    // report. Returns IDOK.
    virtual int Notice(ENotice kind, const std::string& caption, const std::string& text,
                       const std::string& more) {
        (void)kind;
        return more.empty() ? Report(caption, text) : ReportWithDetails(caption, text, more);
    }
};

}  // namespace orvex
