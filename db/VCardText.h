#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "db/VCardProperty.h"
#include "db/VCardVersion.h"

namespace orvex {

// The text of vCard values: which properties have components and lists, the backslash escapes
// (RFC 2426 and RFC 6350: \\ \; \, \n), and the letter-case rules of names.
class CVCardText {
  public:
    enum EShape {
        kText,        // one value; ';' and ',' are text, escaped or not
        kUri,         // the same, but written without escaping ';' and ',' (URL, PHOTO, ...)
        kList,        // one component, a list on unescaped ',' (CATEGORIES, NICKNAME)
        kStructured,  // components on unescaped ';', each a list on unescaped ',' (N, ADR)
    };
    static EShape ShapeOf(const SVCardProperty& property);

    // A decoded value (UTF-8, line breaks "\n") split into components and lists by its shape,
    // its escapes removed. False, with `value` left empty, when it holds more than
    // `maxValues` values; that is checked before anything is made.
    static bool Split(std::string_view text, EShape shape, size_t maxValues,
                      std::vector<SVCardProperty::Component>& value);
    static std::string Unescape(std::string_view text);
    // The value as written after the name and parameters, before any folding or
    // quoted-printable: separators between components and list values, escapes inside them.
    // 2.1 has no escape for a line break (its value gets quoted-printable instead) and no
    // escaping of ';' and ',' in a text of one value.
    static std::string Join(const SVCardProperty& property, EVCardVersion version);

    // CR LF and a lone CR become LF.
    static std::string LineBreaksToLf(std::string_view text);
    static std::string Upper(std::string_view text);
    static bool SameNoCase(std::string_view a, std::string_view b);
    // Without the spaces and tabs at either end.
    static std::string_view Trim(std::string_view text);
    // At most 40 bytes of a text from a file, as valid UTF-8, for a message.
    static std::string Excerpt(std::string_view text);
    // Letters, digits, '-' and '_', at least one: a property's or a parameter's name.
    static bool IsName(std::string_view text);
};

}  // namespace orvex
