#pragma once

#include <QString>
#include <string>

namespace orvex {

// The program keeps its texts as Windows-1252 bytes; the widgets show QStrings. Every one of
// the 256 byte values survives the way there and back.
class CQtText {
  public:
    static QString ToQString(const std::string& bytes);
    // False when the text holds a character Windows-1252 has no byte for; such a character
    // stands as '?' in bytes, so a caller must treat the text as invalid rather than store it.
    static bool FromQString(const QString& text, std::string& bytes);
};

}  // namespace orvex
