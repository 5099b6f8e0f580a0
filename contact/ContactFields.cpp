#include "contact/ContactFields.h"

namespace orvex {

namespace {

using F = CContactFields;

// Every device field code from 0 to 15 names exactly one column.
constexpr bool EachCodeOnce() {
    for (int code = 0; code < F::kDeviceFieldCount; ++code) {
        int columns = 0;
        for (const SContactField& field : F::kFields) {
            columns += field.deviceCode == code ? 1 : 0;
        }
        if (columns != 1) {
            return false;
        }
    }
    for (const SContactField& field : F::kFields) {
        if (field.deviceCode >= F::kDeviceFieldCount) {
            return false;
        }
    }
    return true;
}
static_assert(EachCodeOnce(), "a device field code must name one column");
static_assert(F::kDefaultAddressCode == 5, "the device sends the default address as field 5");
// The address kinds' numbers are the ones stored, 1 to 3 in order.
static_assert(F::kAddressKinds[0].Number() == 1 && F::kAddressKinds[1].Number() == 2 &&
              F::kAddressKinds[2].Number() == 3);

}  // namespace

const SContactField* CContactFields::Find(std::string_view name) {
    for (const SContactField& field : kFields) {
        if (name == field.name) {
            return &field;
        }
    }
    return nullptr;
}

}  // namespace orvex
