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

    // Whether a whole number lies within what a kind holds: 8 bits unsigned for Byte, 16 and
    // 32 bits signed for Int16 and Int32 (and MachineInt), 32 bits unsigned for UInt32; a
    // boolean takes any number.
    static bool Fits(EValueKind k, int64_t v) {
        switch (k) {
            case EValueKind::Byte:
                return v >= 0 && v <= 0xFF;
            case EValueKind::Int16:
                return v >= INT16_MIN && v <= INT16_MAX;
            case EValueKind::Int32:
            case EValueKind::MachineInt:
                return v >= INT32_MIN && v <= INT32_MAX;
            case EValueKind::UInt32:
                return v >= 0 && v <= UINT32_MAX;
            default:
                return true;
        }
    }
    // The whole number a real holds, its fraction dropped, when that lies within 32 bits.
    // Anything else (an infinity, NaN, 1e300) gives false and converts nothing: a conversion
    // outside the range of its type has no defined result.
    static bool ToInt32(double v, int32_t& out) {
        if (!(v > static_cast<double>(INT32_MIN) - 1.0 &&
              v < static_cast<double>(INT32_MAX) + 1.0)) {
            return false;
        }
        out = static_cast<int32_t>(v);
        return true;
    }
};

}  // namespace orvex
