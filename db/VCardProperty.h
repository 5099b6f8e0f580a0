#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvex {

// One property (content line) of a vCard, decoded: no folding, no quoted-printable, no
// escapes, every text in UTF-8 whatever character set the file used.
struct SVCardProperty {
    using Param = std::pair<std::string, std::vector<std::string>>;
    using Component = std::vector<std::string>;

    // "item1" of "item1.TEL", as written (groups compare without regard to case); "" for none.
    std::string group;
    // In upper case: "TEL", "X-ABLABEL".
    std::string name;
    // In the order of their first appearance, each name (upper case) once with all its
    // values: TYPE=work,voice, TYPE=work;TYPE=voice, TYPE="work,voice" and the bare
    // TEL;WORK;VOICE of 2.1 all give {"TYPE", {"work", "voice"}}. Values are as written, without
    // quotes or RFC 6868 escapes. CHARSET and ENCODING are taken up by the reading and never
    // appear here (see base64); the writer writes its own.
    std::vector<Param> params;
    // Components, each a list of values. N, ADR, ORG, GEO, GENDER and CLIENTPIDMAP have
    // components split on ';' and lists split on ','; CATEGORIES and NICKNAME are one
    // component holding a list; every other property is one component holding one value, in
    // which ';' and ',' are plain text. Line breaks are "\n". A list of several values is what a
    // comma-separated text was, so Component() gives the text back (2.1 files do not escape
    // commas, e.g. in a street).
    std::vector<Component> value;
    // The value is binary (ENCODING=b or BASE64, e.g. a photo), kept undecoded as one value
    // without blanks.
    bool base64 = false;
    // The line the property begins on; 0 for one built in memory.
    int line = 0;

    // A property of one text value; the name is taken in upper case.
    static SVCardProperty Make(std::string_view name, std::string text);
    // A property of components of one value each (N, ADR, ORG).
    static SVCardProperty MakeStructured(std::string_view name,
                                         const std::vector<std::string>& components);
    // Adds a value to the parameter (taken in upper case), which is made when missing.
    void AddParam(std::string_view param, std::string paramValue);
    void AddType(std::string type) { AddParam("TYPE", std::move(type)); }

    // The values of a parameter, or nullptr when there is none (any letter case).
    const std::vector<std::string>* FindParam(std::string_view param) const;
    // Whether TYPE holds the type, in any letter case.
    bool HasType(std::string_view type) const;
    // PREF (PREF=1 of 4.0, or a bare PREF) or TYPE=pref.
    bool IsPreferred() const { return Preference() != 0; }
    // 0 when not preferred; otherwise 1 (most) to 100 (least): PREF's number, 1 for TYPE=pref
    // or a PREF without a number.
    int Preference() const;
    // The list of a component joined by ','; "" when there is no such component.
    std::string ComponentText(size_t index) const;
    // The whole value: components joined by ';', their lists by ','.
    std::string Text() const;
    // Equal in everything but the line.
    bool SameContent(const SVCardProperty& other) const;
};

}  // namespace orvex
