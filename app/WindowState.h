#pragma once

#include <QByteArray>
#include <QRect>
#include <array>
#include <string>

#include "app/FileChooser.h"

namespace orvex {

// How the user left the main window: its place and size, the contacts grid's columns and the
// folder each kind of file dialog was last accepted in. It lives in a file of its own beside
// the settings file, whose nine lines it never touches, and is rewritten at every close:
//
//   window=X,Y,WIDTH,HEIGHT    the window's area when not maximised, frame excluded
//   maximized=0|1
//   columns=BASE64             the grid's own description of its columns
//   folder.database=/absolute/folder    (and folder.csv, folder.vcard)
//
// The file is the user's to lose or to break: a missing, unreadable or strange file, and any
// line that is not one of these keys with a sound value, are passed over, so the window then
// starts as if nothing were remembered.
class CWindowState {
  public:
    static constexpr const char* kFileName = "OrvexMgr-window.ini";
    // Far beyond what the file ever holds; a larger file is not this program's.
    static constexpr long kLargestFile = 1 << 20;

    // The file in a program directory (which ends with "/").
    static std::string PathIn(const std::string& programDirectory);

    // Reads the file at path into the values; what cannot be read leaves them as they are.
    // Never blocks on something that is not a regular file.
    void Load(const std::string& path);
    // Takes the lines of text that read as values; the rest is ignored.
    void Parse(const std::string& text);
    // The whole file for the values. A folder that could not be read back (a line break in
    // its name) is left out.
    std::string Text() const;
    // Replaces the file atomically; on failure the old one stays and error says why.
    bool Save(const std::string& path, std::string& error) const;

    // The last folder accepted for a kind of file, empty when there is none.
    const std::string& Folder(IFileChooser::EKind kind) const;
    void SetFolder(IFileChooser::EKind kind, const std::string& folder);

    QRect window;  // empty: no place remembered
    bool maximized = false;
    QByteArray columns;

  private:
    std::array<std::string, IFileChooser::kKinds> m_folders;
};

}  // namespace orvex
