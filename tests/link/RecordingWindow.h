#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "link/ByteSink.h"
#include "link/MessageBox.h"
#include "link/MessageTarget.h"

namespace orvex::test {

struct Message {
    uint32_t message;
    intptr_t wParam;
    intptr_t lParam;
    bool sent;
    bool operator==(const Message&) const = default;
};

// A main window that records what the link tells it: posted and sent messages, window timers
// and pane texts. onSend runs as the handler of sent messages.
class CRecordingWindow : public IMessageTarget {
  public:
    std::function<void(uint32_t message, intptr_t wParam, intptr_t lParam)> onSend;

    void PostMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override {
        std::lock_guard lock(m_mutex);
        messages.push_back({message, wParam, lParam, false});
    }
    intptr_t SendMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override {
        {
            std::lock_guard lock(m_mutex);
            messages.push_back({message, wParam, lParam, true});
        }
        if (onSend) {
            onSend(message, wParam, lParam);
        }
        return 0;
    }
    void SetTimer(int id, uint32_t ms) override { timers[id] = ms; }
    void KillTimer(int id) override { timers.erase(id); }
    void SetPaneText(StatusPane pane, const std::string& text) override { panes[pane] = text; }

    std::vector<Message> Take() {
        std::lock_guard lock(m_mutex);
        std::vector<Message> out;
        out.swap(messages);
        return out;
    }
    size_t Count(uint32_t message) {
        std::lock_guard lock(m_mutex);
        size_t n = 0;
        for (const Message& m : messages) {
            n += m.message == message;
        }
        return n;
    }

    std::vector<Message> messages;
    std::map<int, uint32_t> timers;
    std::map<StatusPane, std::string> panes;

  private:
    std::mutex m_mutex;
};

// Collects the bytes the link writes.
class CByteRecorder : public IByteSink {
  public:
    int Write(const uint8_t* data, int length) override {
        if (failWrites) {
            return 0;
        }
        bytes.insert(bytes.end(), data, data + length);
        return length;
    }
    std::vector<uint8_t> Take() {
        std::vector<uint8_t> out;
        out.swap(bytes);
        return out;
    }
    std::vector<uint8_t> bytes;
    bool failWrites = false;
};

// Records reports and prompts instead of showing them; prompts get a chosen answer.
class CRecordingMessageBox : public IMessageBox {
  public:
    int Report(const std::string& caption, const std::string& text) override {
        std::lock_guard lock(m_mutex);
        shown.push_back(caption + "|" + text);
        return IDOK;
    }
    int Prompt(const std::string& caption, const std::string& text) override {
        std::lock_guard lock(m_mutex);
        shown.push_back(caption + "|" + text);
        return answer;
    }
    // Shown as the report alone; the details are kept apart, keyed by the report.
    int ReportWithDetails(const std::string& caption, const std::string& text,
                          const std::string& more) override {
        std::lock_guard lock(m_mutex);
        shown.push_back(caption + "|" + text);
        details[caption + "|" + text] = more;
        return IDOK;
    }
    std::vector<std::string> Shown() {
        std::lock_guard lock(m_mutex);
        return shown;
    }
    std::string Details(const std::string& report) {
        std::lock_guard lock(m_mutex);
        auto it = details.find(report);
        return it == details.end() ? std::string() : it->second;
    }
    std::vector<std::string> shown;
    std::map<std::string, std::string> details;
    int answer = IDYES;

  private:
    std::mutex m_mutex;
};

}  // namespace orvex::test
