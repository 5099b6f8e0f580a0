#include "tools/sim/RecordCodec.h"

#include <cstdio>

namespace sim {

namespace {

// Number, start marker, the sixteen codes, the ByDefault byte, end marker.
constexpr size_t kEmptyEntrySize = 2 + 1 + kFieldCount + 1 + 1;
// Number, start marker, fifteen name bytes, end marker.
constexpr size_t kBareGroupSize = 2 + 1 + CPagerBook::kGroupNameLength + 1;
constexpr size_t kMemberSize = 3;

void PutNumber(std::vector<uint8_t>& out, uint16_t number) {
    out.push_back(static_cast<uint8_t>(number >> 8));
    out.push_back(static_cast<uint8_t>(number & 0xFF));
}

bool IsControl(uint8_t byte) {
    return byte < 0x20;
}

// Whether a record of n bytes is at least `least` long and ends with its end marker; `what`
// names the kind of record in the error.
bool Bounded(const uint8_t* data, size_t n, size_t least, uint8_t end, const std::string& what,
             std::string& error) {
    if (n < least) {
        error = what + " of " + std::to_string(n) + " bytes is too short";
        return false;
    }
    if (data[n - 1] != end) {
        char marker[8];
        std::snprintf(marker, sizeof marker, "0x%02X", end);
        error = what + " does not end with " + marker;
        return false;
    }
    return true;
}

}  // namespace

std::vector<uint8_t> CRecordCodec::EncodeEntry(const SPersonalEntry& entry) {
    std::vector<uint8_t> out;
    out.reserve(kEmptyEntrySize + 16 * 16);
    PutNumber(out, entry.number);
    out.push_back(kEntryStart);
    for (size_t f = 0; f < kFieldCount; ++f) {
        out.push_back(static_cast<uint8_t>(f));
        if (f == kByDefault) {
            out.push_back(entry.byDefault);
        } else {
            out.insert(out.end(), entry.texts[f].begin(), entry.texts[f].end());
        }
    }
    out.push_back(kEntryEnd);
    return out;
}

std::vector<uint8_t> CRecordCodec::EncodeGroup(const SGroup& group, bool withMembers) {
    std::vector<uint8_t> out;
    out.reserve(kBareGroupSize + group.members.size() * kMemberSize);
    PutNumber(out, group.number);
    out.push_back(kGroupStart);
    for (size_t i = 0; i < CPagerBook::kGroupNameLength; ++i) {
        out.push_back(i < group.name.size() ? static_cast<uint8_t>(group.name[i]) : kNamePad);
    }
    if (withMembers) {
        for (const SGroupMember& member : group.members) {
            // The member identifier is the one little-endian number of the record.
            out.push_back(static_cast<uint8_t>(member.id & 0xFF));
            out.push_back(static_cast<uint8_t>(member.id >> 8));
            out.push_back(member.kind);
        }
    }
    out.push_back(kGroupEnd);
    return out;
}

bool CRecordCodec::Decode(const uint8_t* data, size_t n, SDecodedRecord& out, std::string& error) {
    if (n < 3) {
        error = "record of " + std::to_string(n) + " bytes is too short";
        return false;
    }
    if (data[2] == kEntryStart) {
        out.isGroup = false;
        return DecodeEntry(data, n, out.entry, error);
    }
    if (data[2] == kGroupStart) {
        out.isGroup = true;
        return DecodeGroup(data, n, out.group, error);
    }
    error = "record marker is neither 0xA0 nor 0xA1";
    return false;
}

bool CRecordCodec::DecodeEntry(const uint8_t* data, size_t n, SPersonalEntry& out,
                               std::string& error) {
    if (!Bounded(data, n, kEmptyEntrySize, kEntryEnd, "personal entry", error)) {
        return false;
    }
    SPersonalEntry entry;
    entry.number = static_cast<uint16_t>((data[0] << 8) | data[1]);
    // The end marker is the last byte; the note runs up to it, so a note may hold 0xA2 itself.
    const size_t end = n - 1;
    size_t pos = 3;
    for (size_t f = 0; f < kFieldCount; ++f) {
        const EField field = static_cast<EField>(f);
        if (pos >= end || data[pos] != f) {
            error = std::string("field code of ") + CPagerBook::FieldName(field) + " missing";
            return false;
        }
        ++pos;
        if (field == kByDefault) {
            if (pos >= end) {
                error = "default address byte missing";
                return false;
            }
            if (data[pos] > kAddressHomeMail) {
                error = "default address " + std::to_string(data[pos]) + " is not 0 to 3";
                return false;
            }
            entry.byDefault = data[pos++];
            continue;
        }
        // A text runs to the next control byte (the next field's code), the last one to the end.
        size_t stop = pos;
        while (stop < end && !IsControl(data[stop])) {
            ++stop;
        }
        if (f + 1 == kFieldCount && stop != end) {
            error = "control byte inside the note";
            return false;
        }
        if (stop - pos > CPagerBook::MaxLength(field)) {
            error = std::string(CPagerBook::FieldName(field)) + " is " +
                    std::to_string(stop - pos) + " bytes, at most " +
                    std::to_string(CPagerBook::MaxLength(field)) + " fit";
            return false;
        }
        entry.texts[f].assign(reinterpret_cast<const char*>(data + pos), stop - pos);
        pos = stop;
    }
    out = entry;
    return true;
}

bool CRecordCodec::DecodeGroup(const uint8_t* data, size_t n, SGroup& out, std::string& error) {
    if (!Bounded(data, n, kBareGroupSize, kGroupEnd, "group", error)) {
        return false;
    }
    if ((n - kBareGroupSize) % kMemberSize != 0) {
        error = "group members are not three bytes each";
        return false;
    }
    SGroup group;
    group.number = static_cast<uint16_t>((data[0] << 8) | data[1]);
    const uint8_t* name = data + 3;
    size_t length = 0;
    while (length < CPagerBook::kGroupNameLength && name[length] != kNamePad) {
        if (IsControl(name[length])) {
            error = "control byte in the group name";
            return false;
        }
        ++length;
    }
    for (size_t i = length; i < CPagerBook::kGroupNameLength; ++i) {
        if (name[i] != kNamePad) {
            error = "group name padding holds a byte other than 0xFF";
            return false;
        }
    }
    group.name.assign(reinterpret_cast<const char*>(name), length);
    const size_t count = (n - kBareGroupSize) / kMemberSize;
    if (count > CPagerBook::kMaxMembers) {
        error = "group has " + std::to_string(count) + " members, at most " +
                std::to_string(CPagerBook::kMaxMembers) + " fit";
        return false;
    }
    const uint8_t* member = data + 3 + CPagerBook::kGroupNameLength;
    for (size_t i = 0; i < count; ++i, member += kMemberSize) {
        SGroupMember m;
        m.id = static_cast<uint16_t>(member[0] | (member[1] << 8));
        m.kind = member[2];
        if (m.kind < kAddressWireless || m.kind > kAddressHomeMail) {
            error = "member kind " + std::to_string(m.kind) + " is not 1 to 3";
            return false;
        }
        group.members.push_back(m);
    }
    out = group;
    return true;
}

}  // namespace sim
