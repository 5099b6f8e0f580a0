#include "ui/AddressSelection.h"

#include "contact/ContactFields.h"

namespace orvex {

namespace {

using F = CContactFields;

}  // namespace

const char* CAddressSelection::LabelOf(int kind) {
    const F::SAddressKind* k = F::AddressKind(kind);
    return k ? k->listLabel : "N/A";
}

const char* CAddressSelection::AddressColumnOf(int kind) {
    const F::SAddressKind* k = F::AddressKind(kind);
    return k ? F::Name(k->address) : nullptr;
}

}  // namespace orvex
