// orvex-mkdb PATH: writes the empty contacts database the program ships as its default.
#include <iostream>

#include "db/ContactsTable.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: orvex-mkdb PATH\n";
        return 2;
    }
    std::string error;
    if (!orvex::CContactsTable::CreateEmptyDatabase(argv[1], error)) {
        std::cerr << "orvex-mkdb: " << error << "\n";
        return 1;
    }
    return 0;
}
