#include "ui/AddressSelection.h"

namespace orvex {

namespace {

struct SKind {
    int kind;
    const char* label;
    const char* column;
};
constexpr SKind kKinds[] = {
    {1, "WA", "strWAddr"},
    {2, "WE", "strWEmail"},
    {3, "HE", "strHEmail"},
};

}  // namespace

const char* CAddressSelection::LabelOf(int kind) {
    for (const SKind& k : kKinds) {
        if (k.kind == kind) {
            return k.label;
        }
    }
    return "N/A";
}

int CAddressSelection::KindOf(const std::string& label) {
    for (const SKind& k : kKinds) {
        if (label == k.label) {
            return k.kind;
        }
    }
    return 0;
}

const char* CAddressSelection::AddressColumnOf(int kind) {
    for (const SKind& k : kKinds) {
        if (k.kind == kind) {
            return k.column;
        }
    }
    return nullptr;
}

}  // namespace orvex
