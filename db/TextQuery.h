#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/FieldValue.h"
#include "db/RowSet.h"

namespace orvex {

// The queries the text driver answers: "select *" or a list of columns "from" one file named
// bare (name.ext, no blanks, not a reserved word), optionally "where" a condition built from
// comparisons of a column with a number or a quoted text (=, <>, <, >, <=, >=), "like" with
// the wildcards % and _, "and", "or", "not" and parentheses. Comparisons of texts and "like"
// ignore letter case; a comparison with an empty field is neither true nor false.
class CTextQuery {
  public:
    bool Parse(const std::string& statement, std::string& error);
    // The file the query reads.
    const std::string& Table() const { return m_table; }

    // Ties the names to the file's columns. False for an unknown column, or for a number
    // column compared with a text or a text column with a number.
    bool Bind(const std::vector<SColumn>& columns, std::string& error);
    // The file's columns the result holds, in the result's order (after Bind).
    const std::vector<int>& Selected() const { return m_selected; }
    // The row passes the condition (after Bind).
    bool Matches(const std::vector<CFieldValue>& row) const;

    static bool IsReservedWord(const std::string& word);
    // "%" for any run of characters, "_" for one; letter case is ignored.
    static bool Like(const std::string& text, const std::string& pattern);

  private:
    enum class ENode { Or, And, Not, Compare, Like };
    enum class EOp { Eq, Ne, Lt, Gt, Le, Ge };
    enum ETruth { kFalse, kTrue, kUnknown };
    struct SNode {
        ENode kind = ENode::Compare;
        int left = -1;
        int right = -1;
        std::string column;
        int columnIndex = -1;
        EOp op = EOp::Eq;
        bool isNumber = false;
        int64_t number = 0;
        std::string text;  // the text compared with, or the pattern
        // A pattern "%x%" whose x has no wildcard and no letter: x, found anywhere.
        bool contains = false;
        std::string inner;
    };
    class CParser;

    ETruth Evaluate(int node, const std::vector<CFieldValue>& row) const;
    ETruth Compare(const SNode& node, const CFieldValue& value) const;

    std::string m_table;
    std::vector<std::string> m_columns;  // empty: all
    std::vector<SNode> m_nodes;
    int m_root = -1;
    std::vector<int> m_selected;
};

}  // namespace orvex
