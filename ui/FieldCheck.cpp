#include "ui/FieldCheck.h"

#include <algorithm>

namespace orvex {

namespace {

template <typename Accepts>
bool AllBytes(const std::string& bytes, Accepts accepts) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [&](char c) { return accepts(static_cast<unsigned char>(c)); });
}

}  // namespace

bool CFieldCheck::IsValidText(const std::string& bytes) {
    return AllBytes(bytes, [](unsigned char b) { return b >= 0x20; });
}

bool CFieldCheck::IsValidAddress(const std::string& bytes) {
    return AllBytes(bytes, [](unsigned char b) { return b > 0x20; });
}

bool CFieldCheck::IsValidPhone(const std::string& bytes) {
    return AllBytes(bytes, [](unsigned char b) {
        return (b >= '0' && b <= '9') || b == '(' || b == ')' || b == '-' || b == 'x';
    });
}

bool CFieldCheck::IsValid(ECheck check, const std::string& bytes) {
    switch (check) {
        case ECharacterSet::kAddress:
            return IsValidAddress(bytes);
        case ECharacterSet::kPhone:
            return IsValidPhone(bytes);
        case ECharacterSet::kText:
        case ECharacterSet::kNone:
            break;
    }
    return IsValidText(bytes);
}

CFieldCheck::ECheck CFieldCheck::CheckOf(const std::string& column) {
    const SContactField* field = CContactFields::Find(column);
    return field && field->characters != ECharacterSet::kNone ? field->characters : kText;
}

}  // namespace orvex
