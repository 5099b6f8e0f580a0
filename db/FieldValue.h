#pragma once

#include <cstdint>
#include <string>

namespace orvex {

// The type of a field's value, as the column's declared type gives it. The readings of the
// recordset convert by this type.
enum class EValueKind {
    Null,
    Byte,
    Int16,
    Int32,
    MachineInt,
    UInt32,
    Bool,
    Float,
    Double,
    Date,
    Decimal,
    Text,
    Other,  // a binary value: no text or number reading
};

// One field of one row, held in memory by a recordset. Texts are Windows-1252 bytes.
struct CFieldValue {
    EValueKind kind = EValueKind::Null;
    int64_t integer = 0;
    double real = 0;
    std::string text;

    static CFieldValue Null() { return {}; }
    static CFieldValue Int(EValueKind k, int64_t v) { return {k, v, 0, {}}; }
    static CFieldValue Real(EValueKind k, double v) { return {k, 0, v, {}}; }
    static CFieldValue Text(std::string v) { return {EValueKind::Text, 0, 0, std::move(v)}; }

    bool IsNull() const { return kind == EValueKind::Null; }
    bool IsInteger() const {
        return kind == EValueKind::Byte || kind == EValueKind::Int16 || kind == EValueKind::Int32 ||
               kind == EValueKind::MachineInt || kind == EValueKind::UInt32 ||
               kind == EValueKind::Bool;
    }
    bool IsReal() const {
        return kind == EValueKind::Float || kind == EValueKind::Double ||
               kind == EValueKind::Decimal;
    }
    bool operator==(const CFieldValue&) const = default;
};

}  // namespace orvex
