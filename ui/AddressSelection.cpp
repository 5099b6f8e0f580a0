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

int CAddressSelection::KindOf(const std::string& label) {
    for (const F::SAddressKind& k : F::kAddressKinds) {
        if (label == k.listLabel) {
            return k.Number();
        }
    }
    return 0;
}

const char* CAddressSelection::AddressColumnOf(int kind) {
    const F::SAddressKind* k = F::AddressKind(kind);
    return k ? F::Name(k->address) : nullptr;
}

}  // namespace orvex
