#include "db/SqliteValues.h"

#include <cctype>
#include <cstdio>

#include "db/Win1252.h"

namespace orvex {

namespace {

int Bits(EValueKind kind) {
    return kind == EValueKind::Byte ? 8 : kind == EValueKind::Int16 ? 16 : 32;
}

std::string Upper(const char* text) {
    std::string out;
    for (; text && *text; ++text) {
        out += static_cast<char>(std::toupper(static_cast<unsigned char>(*text)));
    }
    return out;
}

}  // namespace

EValueKind CSqliteValues::DeclaredKind(const char* declaredType) {
    const std::string type = Upper(declaredType);
    if (type.empty()) {
        return EValueKind::Null;  // no declared type: the stored value decides
    }
    if (type.find("SMALLINT") != std::string::npos) {
        return EValueKind::Int16;
    }
    if (type.find("TINYINT") != std::string::npos || type == "BYTE") {
        return EValueKind::Byte;
    }
    if (type.find("BOOL") != std::string::npos || type == "BIT") {
        return EValueKind::Bool;
    }
    if (type.find("INT") != std::string::npos || type == "LONG") {
        return EValueKind::Int32;
    }
    if (type.find("CHAR") != std::string::npos || type.find("TEXT") != std::string::npos ||
        type.find("CLOB") != std::string::npos || type == "MEMO") {
        return EValueKind::Text;
    }
    if (type == "SINGLE") {
        return EValueKind::Float;
    }
    if (type.find("REAL") != std::string::npos || type.find("DOUB") != std::string::npos ||
        type.find("FLOA") != std::string::npos) {
        return EValueKind::Double;
    }
    if (type.find("DATE") != std::string::npos || type.find("TIME") != std::string::npos) {
        return EValueKind::Date;
    }
    if (type.find("DEC") != std::string::npos || type.find("NUMERIC") != std::string::npos ||
        type.find("CURRENCY") != std::string::npos || type == "MONEY") {
        return EValueKind::Decimal;
    }
    return EValueKind::Other;  // unknown: the stored value decides
}

EValueKind CSqliteValues::KindFor(EValueKind declared, int storage) {
    if (storage == SQLITE_NULL) {
        return EValueKind::Null;
    }
    if (storage == SQLITE_BLOB) {
        return EValueKind::Other;
    }
    if (declared == EValueKind::Null || declared == EValueKind::Other) {
        return storage == SQLITE_INTEGER ? EValueKind::Int32
               : storage == SQLITE_FLOAT ? EValueKind::Double
                                         : EValueKind::Text;
    }
    // What is stored wins where it cannot be of the declared type.
    const bool integerKind = declared == EValueKind::Int16 || declared == EValueKind::Byte ||
                             declared == EValueKind::Bool || declared == EValueKind::Int32;
    if (storage == SQLITE_TEXT && declared != EValueKind::Date) {
        return EValueKind::Text;
    }
    if (storage == SQLITE_FLOAT && integerKind) {
        return EValueKind::Double;
    }
    if (storage != SQLITE_TEXT && (declared == EValueKind::Text || declared == EValueKind::Date)) {
        return storage == SQLITE_INTEGER ? EValueKind::Int32 : EValueKind::Double;
    }
    return declared;
}

bool CSqliteValues::Read(sqlite3_stmt* stmt, int i, EValueKind declared, CFieldValue& value,
                         std::string& misfit) {
    const EValueKind kind = KindFor(declared, sqlite3_column_type(stmt, i));
    const bool sized = declared == EValueKind::Byte || declared == EValueKind::Int16 ||
                       declared == EValueKind::Int32;
    value = CFieldValue();
    value.kind = kind;
    if (kind == EValueKind::Text || kind == EValueKind::Date) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
        CWin1252::FromUtf8(std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt, i))),
                           value.text);
    } else if (value.IsReal()) {
        value.real = sqlite3_column_double(stmt, i);
        if (sized) {
            // The column's affinity keeps a real only when it is no whole number, or one too
            // large for any integer.
            char shown[32];
            std::snprintf(shown, sizeof shown, "%g", value.real);
            misfit = std::string(shown) + ", which is no whole number of " +
                     std::to_string(Bits(declared)) + " bits";
            return false;
        }
    } else if (kind != EValueKind::Null && kind != EValueKind::Other) {
        value.integer = sqlite3_column_int64(stmt, i);
        if (!CFieldValue::Fits(kind, value.integer)) {
            misfit = std::to_string(value.integer) + ", which does not fit " +
                     std::to_string(Bits(kind)) + " bits";
            return false;
        }
    }
    return true;
}

void CSqliteValues::Bind(sqlite3_stmt* stmt, int index, const CFieldValue& value) {
    if (value.IsNull()) {
        sqlite3_bind_null(stmt, index);
    } else if (value.kind == EValueKind::Text || value.kind == EValueKind::Date) {
        const std::string utf8 = CWin1252::ToUtf8(value.text);
        sqlite3_bind_text(stmt, index, utf8.data(), static_cast<int>(utf8.size()),
                          SQLITE_TRANSIENT);
    } else if (value.IsReal()) {
        sqlite3_bind_double(stmt, index, value.real);
    } else {
        sqlite3_bind_int64(stmt, index, value.integer);
    }
}

}  // namespace orvex
