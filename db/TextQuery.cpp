#include "db/TextQuery.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <set>

#include "db/Win1252.h"

namespace orvex {

namespace {

bool IsNameStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

bool IsNamePart(unsigned char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9');
}

enum class EToken { Name, Number, Text, Symbol, End };

struct SToken {
    EToken kind = EToken::End;
    std::string text;  // the name, the digits, the unquoted text or the symbol
    size_t begin = 0;
    size_t end = 0;
};

bool Tokenize(const std::string& s, std::vector<SToken>& tokens, std::string& error) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        SToken t;
        t.begin = i;
        if (IsNameStart(c)) {
            while (i < s.size() && IsNamePart(static_cast<unsigned char>(s[i]))) {
                ++i;
            }
            t.kind = EToken::Name;
            t.text = s.substr(t.begin, i - t.begin);
        } else if (c >= '0' && c <= '9') {
            while (i < s.size() && IsNamePart(static_cast<unsigned char>(s[i]))) {
                ++i;
            }
            t.kind = EToken::Number;
            t.text = s.substr(t.begin, i - t.begin);
        } else if (c == '\'') {
            t.kind = EToken::Text;
            for (++i;; ++i) {
                if (i >= s.size()) {
                    error = "a quoted text is not closed";
                    return false;
                }
                if (s[i] == '\'') {
                    if (i + 1 < s.size() && s[i + 1] == '\'') {
                        t.text += '\'';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                t.text += s[i];
            }
        } else {
            static const char* const kTwo[] = {"<>", "<=", ">=", "!="};
            t.kind = EToken::Symbol;
            t.text = std::string(1, static_cast<char>(c));
            for (const char* two : kTwo) {
                if (s.compare(i, 2, two) == 0) {
                    t.text = two;
                }
            }
            if (t.text.size() == 1 && std::string("=<>(),*.-;").find(t.text) == std::string::npos) {
                error = "unexpected character '" + t.text + "'";
                return false;
            }
            i += t.text.size();
        }
        t.end = i;
        tokens.push_back(std::move(t));
    }
    SToken end;
    end.begin = end.end = s.size();
    tokens.push_back(end);
    return true;
}

}  // namespace

class CTextQuery::CParser {
  public:
    CParser(CTextQuery& query, std::vector<SToken> tokens)
        : m_query(query), m_tokens(std::move(tokens)) {}

    bool Statement(std::string& error) {
        if (!Keyword("select")) {
            return Fail("the statement does not begin with select", error);
        }
        if (Symbol("*")) {
            m_query.m_columns.clear();
        } else {
            do {
                if (Peek().kind != EToken::Name || IsReservedWord(Peek().text)) {
                    return Fail("a column name is expected", error);
                }
                m_query.m_columns.push_back(Next().text);
            } while (Symbol(","));
        }
        if (!Keyword("from")) {
            return Fail("from is expected", error);
        }
        if (!TableName(error)) {
            return false;
        }
        if (Keyword("where")) {
            m_query.m_root = Or(error);
            if (m_query.m_root < 0) {
                return false;
            }
        }
        Symbol(";");
        if (Peek().kind != EToken::End) {
            return Fail("the statement goes on after its end", error);
        }
        return true;
    }

  private:
    const SToken& Peek() const { return m_tokens[m_at]; }
    const SToken& Next() { return m_tokens[m_at < m_tokens.size() - 1 ? m_at++ : m_at]; }
    bool Keyword(const char* word) {
        if (Peek().kind == EToken::Name && CWin1252::Folded(Peek().text) == word) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool Symbol(const char* symbol) {
        if (Peek().kind == EToken::Symbol && Peek().text == symbol) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool Fail(const std::string& what, std::string& error) {
        const SToken& t = Peek();
        error = "Syntax error: " + what + " at " +
                (t.kind == EToken::End ? std::string("the end") : "'" + t.text + "'");
        return false;
    }
    int Failed(const std::string& what, std::string& error) {
        Fail(what, error);
        return -1;
    }

    // A file's name stands bare: a name, and the extension joined to it by a dot, with no
    // blank anywhere. A name that begins with a digit or is a reserved word cannot stand so.
    bool TableName(std::string& error) {
        if (Peek().kind != EToken::Name || IsReservedWord(Peek().text)) {
            return Fail("a file name is expected", error);
        }
        const SToken name = Next();
        std::string table = name.text;
        if (Peek().kind == EToken::Symbol && Peek().text == "." && Peek().begin == name.end) {
            const SToken dot = Next();
            if ((Peek().kind != EToken::Name && Peek().kind != EToken::Number) ||
                Peek().begin != dot.end) {
                return Fail("a file name extension is expected", error);
            }
            table += "." + Next().text;
        }
        m_query.m_table = table;
        return true;
    }

    int Add(SNode node) {
        m_query.m_nodes.push_back(std::move(node));
        return static_cast<int>(m_query.m_nodes.size() - 1);
    }
    // A node of an operator over the nodes left and right (-1: none).
    int Add(ENode kind, int left, int right = -1) {
        SNode node;
        node.kind = kind;
        node.left = left;
        node.right = right;
        return Add(std::move(node));
    }

    // Operands that `operand` reads, joined from the left by the operator `keyword`.
    int Joined(const char* keyword, ENode kind, int (CParser::*operand)(std::string&),
               std::string& error) {
        int left = (this->*operand)(error);
        while (left >= 0 && Keyword(keyword)) {
            const int right = (this->*operand)(error);
            if (right < 0) {
                return -1;
            }
            left = Add(kind, left, right);
        }
        return left;
    }

    int Or(std::string& error) { return Joined("or", ENode::Or, &CParser::And, error); }

    int And(std::string& error) { return Joined("and", ENode::And, &CParser::Not, error); }

    int Not(std::string& error) {
        if (Keyword("not")) {
            const int operand = Not(error);
            return operand < 0 ? -1 : Add(ENode::Not, operand);
        }
        if (Symbol("(")) {
            const int inner = Or(error);
            if (inner < 0) {
                return -1;
            }
            return Symbol(")") ? inner : Failed("')' is expected", error);
        }
        return Predicate(error);
    }

    int Predicate(std::string& error) {
        if (Peek().kind != EToken::Name || IsReservedWord(Peek().text)) {
            return Failed("a column name is expected", error);
        }
        SNode node;
        node.column = Next().text;
        const bool negated = Keyword("not");
        if (Keyword("like")) {
            if (Peek().kind != EToken::Text) {
                return Failed("a quoted pattern is expected after like", error);
            }
            node.kind = ENode::Like;
            node.text = Next().text;
            const int like = Add(std::move(node));
            return negated ? Add(ENode::Not, like) : like;
        }
        if (negated) {
            return Failed("like is expected after not", error);
        }
        static const std::pair<const char*, EOp> kOps[] = {
            {"=", EOp::Eq}, {"<>", EOp::Ne}, {"!=", EOp::Ne}, {"<", EOp::Lt},
            {">", EOp::Gt}, {"<=", EOp::Le}, {">=", EOp::Ge},
        };
        bool found = false;
        for (const auto& [symbol, op] : kOps) {
            if (!found && Symbol(symbol)) {
                node.op = op;
                found = true;
            }
        }
        if (!found) {
            return Failed("a comparison is expected", error);
        }
        node.kind = ENode::Compare;
        const bool minus = Symbol("-");
        if (Peek().kind == EToken::Number) {
            const std::string digits = Next().text;
            errno = 0;
            char* end = nullptr;
            const long long v = std::strtoll(digits.c_str(), &end, 10);
            if (*end != '\0' || errno == ERANGE) {
                --m_at;
                return Failed("a whole number is expected", error);
            }
            node.isNumber = true;
            node.number = minus ? -v : v;
        } else if (!minus && Peek().kind == EToken::Text) {
            node.text = Next().text;
        } else {
            return Failed("a number or a quoted text is expected", error);
        }
        return Add(std::move(node));
    }

    CTextQuery& m_query;
    std::vector<SToken> m_tokens;
    size_t m_at = 0;
};

bool CTextQuery::IsReservedWord(const std::string& word) {
    static const std::set<std::string> kWords = {
        "add",   "all",      "alter",      "and",     "any",        "as",       "asc",    "between",
        "by",    "column",   "constraint", "count",   "create",     "database", "date",   "delete",
        "desc",  "distinct", "drop",       "exists",  "from",       "full",     "group",  "having",
        "in",    "index",    "inner",      "insert",  "into",       "is",       "join",   "key",
        "left",  "like",     "max",        "min",     "not",        "null",     "on",     "or",
        "order", "outer",    "pivot",      "primary", "references", "right",    "select", "set",
        "sum",   "table",    "time",       "top",     "transform",  "union",    "unique", "update",
        "user",  "values",   "where",      "with",
    };
    return kWords.count(CWin1252::Folded(word)) > 0;
}

bool CTextQuery::Parse(const std::string& statement, std::string& error) {
    *this = CTextQuery();
    std::vector<SToken> tokens;
    if (!Tokenize(statement, tokens, error)) {
        error = "Syntax error: " + error;
        return false;
    }
    CParser parser(*this, std::move(tokens));
    return parser.Statement(error);
}

bool CTextQuery::Bind(const std::vector<SColumn>& columns, std::string& error) {
    auto find = [&](const std::string& name) {
        const std::string folded = CWin1252::Folded(name);
        for (size_t i = 0; i < columns.size(); ++i) {
            if (CWin1252::Folded(columns[i].name) == folded) {
                return static_cast<int>(i);
            }
        }
        return -1;
    };
    m_selected.clear();
    if (m_columns.empty()) {
        for (size_t i = 0; i < columns.size(); ++i) {
            m_selected.push_back(static_cast<int>(i));
        }
    }
    for (const std::string& name : m_columns) {
        const int index = find(name);
        if (index < 0) {
            error = "The file " + m_table + " has no column " + name;
            return false;
        }
        m_selected.push_back(index);
    }
    for (SNode& node : m_nodes) {
        if (node.kind != ENode::Compare && node.kind != ENode::Like) {
            continue;
        }
        node.columnIndex = find(node.column);
        if (node.columnIndex < 0) {
            error = "The file " + m_table + " has no column " + node.column;
            return false;
        }
        if (node.kind == ENode::Like) {
            const std::string& p = node.text;
            node.inner = p.size() >= 2 ? p.substr(1, p.size() - 2) : "";
            // Only where letter case cannot matter: no letter, and nothing above ASCII.
            node.contains = p.size() >= 2 && p.front() == '%' && p.back() == '%' &&
                            std::all_of(node.inner.begin(), node.inner.end(), [](char ch) {
                                const auto b = static_cast<unsigned char>(ch);
                                return b < 0x80 && !std::isalpha(b) && b != '%' && b != '_';
                            });
        }
        const bool textColumn =
            columns[static_cast<size_t>(node.columnIndex)].kind == EValueKind::Text;
        if (node.kind == ENode::Compare && node.isNumber == textColumn) {
            error = "Data type mismatch: the column " + node.column + " is compared with " +
                    (node.isNumber ? "a number" : "a text");
            return false;
        }
    }
    return true;
}

bool CTextQuery::Matches(const std::vector<CFieldValue>& row) const {
    return m_root < 0 || Evaluate(m_root, row) == kTrue;
}

CTextQuery::ETruth CTextQuery::Evaluate(int index, const std::vector<CFieldValue>& row) const {
    const SNode& node = m_nodes[static_cast<size_t>(index)];
    switch (node.kind) {
        case ENode::Or:
        case ENode::And: {
            // One operand decides alone when it is true for "or", false for "and"; else an
            // unknown operand leaves the whole unknown.
            const ETruth decides = node.kind == ENode::Or ? kTrue : kFalse;
            const ETruth a = Evaluate(node.left, row);
            if (a == decides) {
                return decides;
            }
            const ETruth b = Evaluate(node.right, row);
            if (b == decides) {
                return decides;
            }
            return a == kUnknown || b == kUnknown ? kUnknown : (decides == kTrue ? kFalse : kTrue);
        }
        case ENode::Not: {
            const ETruth a = Evaluate(node.left, row);
            return a == kUnknown ? kUnknown : (a == kTrue ? kFalse : kTrue);
        }
        case ENode::Like: {
            const CFieldValue& value = row[static_cast<size_t>(node.columnIndex)];
            if (value.IsNull()) {
                return kUnknown;
            }
            if (value.kind != EValueKind::Text) {
                return Like(CRowSet::Display(value), node.text) ? kTrue : kFalse;
            }
            const bool match = node.contains ? value.text.find(node.inner) != std::string::npos
                                             : Like(value.text, node.text);
            return match ? kTrue : kFalse;
        }
        case ENode::Compare:
            break;
    }
    return Compare(node, row[static_cast<size_t>(node.columnIndex)]);
}

CTextQuery::ETruth CTextQuery::Compare(const SNode& node, const CFieldValue& value) const {
    int c = 0;
    if (node.isNumber && value.IsInteger()) {
        c = value.integer < node.number ? -1 : (value.integer > node.number ? 1 : 0);
    } else if (node.isNumber && value.IsReal()) {
        const auto n = static_cast<double>(node.number);
        c = value.real < n ? -1 : (value.real > n ? 1 : 0);
    } else if (!node.isNumber && value.kind == EValueKind::Text) {
        const int r = CWin1252::Folded(value.text).compare(CWin1252::Folded(node.text));
        c = r < 0 ? -1 : (r > 0 ? 1 : 0);
    } else {
        // Empty, or a field of a number column that holds no number.
        return kUnknown;
    }
    bool result = false;
    switch (node.op) {
        case EOp::Eq:
            result = c == 0;
            break;
        case EOp::Ne:
            result = c != 0;
            break;
        case EOp::Lt:
            result = c < 0;
            break;
        case EOp::Gt:
            result = c > 0;
            break;
        case EOp::Le:
            result = c <= 0;
            break;
        case EOp::Ge:
            result = c >= 0;
            break;
    }
    return result ? kTrue : kFalse;
}

bool CTextQuery::Like(const std::string& text, const std::string& pattern) {
    auto same = [](char a, char b) {
        return CWin1252::Lower(static_cast<unsigned char>(a)) ==
               CWin1252::Lower(static_cast<unsigned char>(b));
    };
    // Greedy matching with one step back to the last "%".
    size_t t = 0, p = 0;
    size_t starP = std::string::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '_' || (pattern[p] != '%' && same(pattern[p], text[t])))) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '%') {
            starP = p++;
            starT = t;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '%') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace orvex
