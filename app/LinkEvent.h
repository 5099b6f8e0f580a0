#pragma once

#include <QEvent>
#include <cstdint>

namespace orvex {

// A window message posted to the main window from any thread: (message, wParam, lParam).
class CLinkEvent : public QEvent {
  public:
    CLinkEvent(uint32_t m, intptr_t w, intptr_t l)
        : QEvent(Type()), message(m), wParam(w), lParam(l) {}

    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    const uint32_t message;
    const intptr_t wParam;
    const intptr_t lParam;
};

}  // namespace orvex
