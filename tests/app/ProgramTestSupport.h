#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QMessageBox>
#include <QString>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/FileChooser.h"
#include "app/MainFrame.h"
#include "app/VelkorMgrApp.h"
#include "link/ErrorReport.h"
#include "tests/QtTestApp.h"
#include "tests/link/RecordingWindow.h"
#include "tests/ui/ActingRunner.h"

namespace orvex::test {

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The file dialogs' answer: the path given, or Cancel when it is empty; and what each dialog
// was asked for.
class CChosenFile : public IFileChooser {
  public:
    bool ChooseOpen(const SRequest& r, std::string& chosen) override { return Choose(r, chosen); }
    bool ChooseSave(const SRequest& r, std::string& chosen) override { return Choose(r, chosen); }
    std::string path;
    SRequest request{};  // the last one
    std::vector<SRequest> requests;
    int asked = 0;

  private:
    bool Choose(const SRequest& r, std::string& chosen) {
        request = r;
        requests.push_back(r);
        ++asked;
        chosen = path;
        return !path.empty();
    }
};

// What the notices showed since they were last watched: the last one's icon, caption and
// text, and how many there were.
struct SSeenBox {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString caption;
    QString text;
    int count = 0;
};

// Records the reports and prompts, and apart from them the notices (a failed export, settings
// not saved), each with the icon its real box has.
class CProgramBox : public CRecordingMessageBox {
  public:
    int Notice(ENotice kind, const std::string& caption, const std::string& text,
               const std::string&) override {
        notices->icon = kind == ENotice::kWarning ? QMessageBox::Warning : QMessageBox::Critical;
        notices->caption = QString::fromStdString(caption);
        notices->text = QString::fromStdString(text);
        ++notices->count;
        return IDOK;
    }
    // The notices from now on.
    std::shared_ptr<SSeenBox> WatchNotices() {
        notices = std::make_shared<SSeenBox>();
        return notices;
    }
    std::shared_ptr<SSeenBox> notices = std::make_shared<SSeenBox>();
};

// The whole program in a program directory of its own, its reports recorded, its file
// dialogs answered by chooser and its other dialogs by dialogs (cancelled unless a test acts).
// No pager: the port's device does not exist unless a test names one before StartProgram.
class CProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TestApp();
        char pattern[] = "/tmp/orvex-program-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = std::string(pattern) + "/";
        setenv("ORVEX_COM1", "/nonexistent/orvex-tty", 1);
    }
    void TearDown() override {
        app.reset();
        CErrorReport::SetMessageBox(nullptr);
        std::filesystem::remove_all(dir);
    }
    void ShipDatabase() { std::filesystem::copy_file(ORVEX_DEFAULT_DATABASE, dir + "Orvex.mdb"); }
    // Starts the program; the application's own message box gives way to box.
    void StartProgram() {
        app = std::make_unique<CVelkorMgrApp>();
        CErrorReport::SetMessageBox(&box);
        ASSERT_TRUE(app->InitInstance(dir));
        frame = app->MainFrame();
        frame->SetFileChooser(&chooser);
        frame->SetDialogRunner(&dialogs);
    }

    std::string dir;
    CProgramBox box;
    CChosenFile chooser;
    CActingRunner dialogs;
    std::unique_ptr<CVelkorMgrApp> app;
    CMainFrame* frame = nullptr;
};

}  // namespace orvex::test
