// The record layouts as the PC reads and writes them, checked against the emulator's own
// encoder and decoder (the device's side of the same layouts).
#include "link/DeviceTransfer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/LinkCodes.h"
#include "tools/sim/FrameCodec.h"
#include "tools/sim/RecordCodec.h"

namespace orvex::test {
namespace {

// Hands a device record frame to the link as if it had come down the line.
void Receive(CDeviceTransfer& device, const std::vector<uint8_t>& payload) {
    const std::vector<uint8_t> frame = sim::CFrameCodec::DeviceFrame(kCmdRecord, payload);
    device.Link().SetFrameCommand(kCmdRecordRequest);
    device.Link().Dispatch(frame.data(), static_cast<int>(frame.size()));
}

// The payload of the frame the PC has built.
std::vector<uint8_t> SentPayload(CDeviceTransfer& device) {
    const uint8_t* frame = device.Link().SendFrame();
    const int length = device.Link().SendFrameLength();
    return std::vector<uint8_t>(frame + 3, frame + length - 2);
}

TEST(DeviceTransferTest, ReadsEntriesAndGroupsAsTheDeviceWritesThem) {
    CDeviceTransfer device;
    sim::SPersonalEntry entry;
    entry.number = 0x0102;
    entry.texts[sim::kFirstName] = "J\xF6rg";
    entry.texts[sim::kHomeMail] = "j@home.example";
    entry.texts[sim::kNote] = "5\xA2 a page";  // the cent sign is the end mark's byte value
    entry.byDefault = sim::kAddressHomeMail;
    Receive(device, sim::CRecordCodec::EncodeEntry(entry));
    ASSERT_TRUE(device.ReceivedPersonal());
    device.DecodePersonal();
    const CContactRecord& r = device.Record();
    EXPECT_EQ(r.iCID, 0x0102);
    EXPECT_EQ(r.iEIdx, 0x0102);
    EXPECT_EQ(r.strFName, "J\xF6rg");
    EXPECT_EQ(r.strLName, "");
    EXPECT_EQ(r.strHEmail, "j@home.example");
    EXPECT_EQ(r.byDefault, 3);
    EXPECT_EQ(r.strNote, "5\xA2 a page");

    // An entry with every field empty: number, mark, sixteen codes, the default byte, end.
    const std::vector<uint8_t> empty = sim::CRecordCodec::EncodeEntry(sim::SPersonalEntry{});
    EXPECT_EQ(empty.size(), 21u);
    Receive(device, empty);
    device.DecodePersonal();
    EXPECT_EQ(device.Record().strFName, "");
    EXPECT_EQ(device.Record().strNote, "");

    // A name of exactly fifteen bytes leaves no pad byte; members whose low byte is the end
    // mark (163, 419) are members like any other; the slot keeps ten.
    sim::SGroup group{7, "\xA1OnlyFifteen!!!", {}};
    for (uint16_t id : {163, 419, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) {
        group.members.push_back({id, 1});
    }
    Receive(device, sim::CRecordCodec::EncodeGroup(group));
    EXPECT_FALSE(device.ReceivedPersonal());
    ASSERT_TRUE(device.DecodeGroup(3));
    const SGroupSlot& slot = device.Slot(3);
    EXPECT_EQ(slot.iCID, 7);
    EXPECT_EQ(slot.name, "\xA1OnlyFifteen!!!");
    ASSERT_EQ(slot.count, 10);
    EXPECT_EQ(slot.members[0].iCID, 163);
    EXPECT_EQ(slot.members[1].iCID, 419);
    EXPECT_EQ(slot.members[9].iCID, 8);
    // A group past the twentieth slot has nowhere to go and is refused.
    EXPECT_FALSE(device.DecodeGroup(CDeviceTransfer::kGroupSlots));
}

TEST(DeviceTransferTest, FramesSentAlwaysFitWhatTheDeviceAccepts) {
    CDeviceTransfer device;
    CContactRecord& r = device.Record();
    r.iEIdx = 0x0203;
    for (int code = 0; code < CDeviceTransfer::kFieldCount; ++code) {
        if (std::string* text = CDeviceTransfer::FieldText(r, code)) {
            *text = std::string(300, 'a');  // far longer than any field
        }
    }
    r.byDefault = 2;
    device.BuildPersonalFrame();
    EXPECT_EQ(device.Link().SendFrameLength(), 517);
    sim::SDecodedRecord decoded;
    std::string why;
    ASSERT_TRUE(sim::CRecordCodec::Decode(SentPayload(device), decoded, why)) << why;
    EXPECT_EQ(decoded.entry.number, 0x0203);
    EXPECT_EQ(decoded.entry.texts[sim::kNote], std::string(72, 'a'));
    EXPECT_EQ(decoded.entry.byDefault, 2);

    SGroupSlot& slot = device.Slot(0);
    slot.iEIdx = 300;
    slot.name = "A name longer than fifteen";
    slot.Add({1, 21, 1});
    slot.Add({1, 21, 3});
    device.BuildGroupRowFrame(0);
    ASSERT_TRUE(sim::CRecordCodec::Decode(SentPayload(device), decoded, why)) << why;
    EXPECT_EQ(decoded.group.name, "A name longer t");
    EXPECT_TRUE(decoded.group.members.empty());
    device.BuildGroupFrame(0);
    EXPECT_EQ(device.Link().SendFrame()[0], kCmdUploadGroup);
    ASSERT_TRUE(sim::CRecordCodec::Decode(SentPayload(device), decoded, why)) << why;
    EXPECT_EQ(decoded.group.number, 300);
    EXPECT_EQ(decoded.group.members, (std::vector<sim::SGroupMember>{{21, 1}, {21, 3}}));

    slot.name = "Short";
    device.BuildGroupRowFrame(0);
    const std::vector<uint8_t> payload = SentPayload(device);
    ASSERT_EQ(payload.size(), 19u);
    EXPECT_EQ(payload[2], CDeviceTransfer::kGroupMark);
    EXPECT_EQ(payload[8], CDeviceTransfer::kNamePad);
    EXPECT_EQ(payload.back(), CDeviceTransfer::kGroupEnd);
}

}  // namespace
}  // namespace orvex::test
