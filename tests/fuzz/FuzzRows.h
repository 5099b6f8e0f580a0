#pragma once

#include <string>

#include "db/ADORecordset.h"

namespace orvex::fuzz {

// Reads every field of every row, as numbers and as texts.
inline void ReadAll(CADORecordset& rows) {
    const int fields = rows.FieldCount();
    for (rows.MoveFirst(); !rows.IsEOF(); rows.MoveNext()) {
        for (int f = 0; f < fields; ++f) {
            int number = 0;
            std::string text;
            rows.ReadInt(f, number);
            rows.ReadText(f, text);
        }
    }
}

}  // namespace orvex::fuzz
