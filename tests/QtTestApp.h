#pragma once

#include <QApplication>

namespace orvex::test {

// One QApplication for the test program, on the offscreen platform.
inline QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "orvex-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

}  // namespace orvex::test
