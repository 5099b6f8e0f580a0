#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/FileChooser.h"
#include "app/MainFrame.h"
#include "app/VelkorMgrApp.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "link/ErrorReport.h"
#include "tests/QtTestApp.h"
#include "tests/app/ProgramTestSupport.h"
#include "tests/link/RecordingWindow.h"

namespace orvex::test {

// One line of a contacts file, 22 fields; a personal contact unless changed.
struct SCsvLine {
    std::vector<std::string> f;
    SCsvLine(int id, const std::string& first, const std::string& wirelessList = ";") {
        f = {std::to_string(id),
             std::to_string(id),
             "0",
             first,
             "Last",
             "pager" + first,
             "",
             "",
             "1",
             wirelessList,
             ";",
             ";",
             "",
             "",
             "",
             "",
             "",
             "",
             "",
             "",
             "",
             ""};
    }
    static SCsvLine Group(int id, const std::string& name) {
        SCsvLine line(id, name);
        line.f = {std::to_string(id),
                  std::to_string(id),
                  "1",
                  name,
                  "",
                  "",
                  "",
                  "",
                  "",
                  ";",
                  ";",
                  ";",
                  "",
                  "",
                  "",
                  "",
                  "",
                  "",
                  "",
                  "",
                  "",
                  ""};
        return line;
    }
    SCsvLine& Set(int column, const std::string& value) {
        f[static_cast<size_t>(column)] = value;
        return *this;
    }
    std::string Text() const {
        std::string out;
        for (size_t i = 0; i < f.size(); ++i) {
            out += (i ? "," : "") + f[i];
        }
        return out + "\r\n";
    }
};

// The whole program on its shipped empty database in a program directory of its own, with the
// file dialogs and the message boxes under the test's control.
class CsvProgramTest : public CProgramTest {
  protected:
    void SetUp() override {
        CProgramTest::SetUp();
        ShipDatabase();
        StartProgram();
        box.shown.clear();
    }

    CADODatabase& Db() { return frame->Database(); }

    // Appends a row; the integer columns by name, the other fields as texts.
    void AddRow(const std::map<std::string, std::string>& fields) {
        CADORecordset rs(&Db());
        ASSERT_TRUE(rs.Open(CContactsTable::kTable, CADORecordset::openTable));
        ASSERT_TRUE(rs.AddNew());
        for (const auto& [column, value] : fields) {
            const bool number = CContactsTable::MaxLength(column) == 0;
            ASSERT_TRUE(number ? rs.WriteInt(column, std::stoi(value))
                               : rs.WriteText(column, value))
                << column;
        }
        ASSERT_TRUE(rs.Update()) << rs.GetLastErrorString();
    }
    void AddGroup(int id, const std::string& name) {
        AddRow({{"iCID", std::to_string(id)},
                {"iEIdx", std::to_string(id)},
                {"iGroup", "1"},
                {"strFName", name}});
    }

    // Every row of the table in identifier order, its 22 fields as texts.
    std::string Dump() {
        CADORecordset rs(&Db());
        EXPECT_TRUE(rs.Open(CContactsTable::kTable, CADORecordset::openTable))
            << rs.GetLastErrorString();
        rs.SortBy(CContactsTable::kSortById);
        std::string out;
        for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
            for (const auto& column : CContactsTable::kColumns) {
                std::string v;
                rs.ReadText(column.name, v);
                out += v + (column.name == std::string("strNote") ? "\n" : ",");
            }
        }
        return out;
    }

    void WriteFile(const std::string& name, const std::string& bytes) {
        std::ofstream(dir + name, std::ios::binary | std::ios::trunc) << bytes;
    }
    void Import(const std::string& path, int answer) {
        box.answer = answer;
        chooser.path = path;
        frame->Action(CMainFrame::kCmdImport)->trigger();
    }
    void Export(const std::string& path) {
        chooser.path = path;
        frame->Action(CMainFrame::kCmdExport)->trigger();
    }
    bool Exists(const std::string& path) { return std::filesystem::exists(path); }
};

// Closes the next message box the program shows and keeps its icon, caption and text.
struct SSeenBox {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString caption;
    QString text;
    int count = 0;
};
inline void WatchForMessageBox(const std::shared_ptr<SSeenBox>& seen, int tries = 500) {
    QTimer::singleShot(0, [seen, tries] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen->icon = box->icon();
            seen->caption = box->windowTitle();
            seen->text = box->text();
            ++seen->count;
            box->accept();
        } else if (tries > 0) {
            WatchForMessageBox(seen, tries - 1);
        }
    });
}
inline std::shared_ptr<SSeenBox> CloseNextMessageBox() {
    auto seen = std::make_shared<SSeenBox>();
    WatchForMessageBox(seen);
    return seen;
}

}  // namespace orvex::test
