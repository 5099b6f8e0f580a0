// What the pager does with a frame it has taken off the line: answers a status request, hands
// out its records, stores an uploaded book. Knows nothing of the line's turn-taking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/sim/PagerBook.h"

namespace sim {

class CPagerDevice {
  public:
    explicit CPagerDevice(CPagerBook book = CPagerBook::Sample());

    // Carries out a frame whose checksum and trailer were right. Appends the device frames of
    // the reply (if any) to replies. Returns false, with the reason in why, when the device
    // refuses the frame: the line answers it with NAK and nothing has changed.
    bool Handle(uint8_t command, const std::vector<uint8_t>& payload,
                std::vector<std::vector<uint8_t>>& replies, std::string& why);

    // A locked book refuses every 0xA6.
    void SetLocked(bool locked) { m_locked = locked; }
    bool Locked() const { return m_locked; }

    // The book the device serves. An upload replaces it frame by frame: after 0xC5 the device
    // holds an empty book, and each accepted upload frame adds to it.
    const CPagerBook& Book() const { return m_book; }
    void SetBook(const CPagerBook& book) { m_book = book; }
    // What the uploads since the last 0xC5 delivered; empty when none came.
    const CPagerBook& ReceivedBook() const { return m_received; }
    bool UploadStarted() const { return m_uploadStarted; }
    // The count of the last 0xC7, and the PC's row count of the last 0xC1.
    std::optional<uint8_t> AnnouncedGroups() const { return m_announcedGroups; }
    std::optional<uint16_t> PcRowCount() const { return m_pcRowCount; }

    // Where the received book is written (in the book file format) after every accepted upload
    // frame; "" keeps it in memory only.
    void SetUploadOutput(const std::string& path) { m_uploadPath = path; }
    // The last failure to write it, "" after a successful write.
    const std::string& UploadError() const { return m_uploadError; }
    size_t UploadWrites() const { return m_uploadWrites; }

    // The 0xC2 frame for the current book.
    std::vector<uint8_t> StatusReply() const;
    // One 0xC4 frame per record: every personal entry in book order, then every group.
    std::vector<std::vector<uint8_t>> RecordFrames() const;

  private:
    bool TakeUploadRow(const std::vector<uint8_t>& payload, std::string& why);
    bool TakeUploadGroup(const std::vector<uint8_t>& payload, std::string& why);
    bool HasRoomForGroup(uint16_t number, std::string& why) const;
    void BeginUploadIfNeeded();
    void UploadChanged();

    CPagerBook m_book;
    CPagerBook m_received;
    bool m_locked = false;
    bool m_uploadStarted = false;
    std::optional<uint8_t> m_announcedGroups;
    std::optional<uint16_t> m_pcRowCount;
    std::string m_uploadPath;
    std::string m_uploadError;
    size_t m_uploadWrites = 0;
};

}  // namespace sim
