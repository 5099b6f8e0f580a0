#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/CsvExport.h"
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

// The first line of every contacts file, and what an import shows and asks.
inline const std::string kHeader = std::string(CCsvExport::kHeader) + "\r\n";
inline const std::string kError002 =
    "Error 002|Failure during importing comma delimited file!\r\nSome reserved words in the "
    "file name may cause\r\nthis problem.\r\nChange your file name or check the file's format!";
inline const std::string kReplace = "Orvex Manager|Replace the current contacts?";

// One line of a contacts file, 22 fields; a personal contact unless changed.
struct SCsvLine {
    std::vector<std::string> f;
    SCsvLine(int id, const std::string& first, const std::string& wirelessList = ";") : f(22) {
        f[0] = f[1] = std::to_string(id);
        f[2] = "0";
        f[3] = first;
        f[4] = "Last";
        f[5] = "pager" + first;
        f[8] = "1";  // the default address: the wireless one
        f[9] = wirelessList;
        f[10] = f[11] = ";";
    }
    // A group: its name in the first-name field, no addresses, empty group lists.
    static SCsvLine Group(int id, const std::string& name) {
        SCsvLine line(id, name);
        line.Set(2, "1").Set(4, "").Set(5, "").Set(8, "");
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

// Every row of a contacts table in identifier order, its 22 fields as texts.
inline std::string DumpTable(CADODatabase& db) {
    CADORecordset rs(&db);
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

// The names in a folder, sorted.
inline std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The whole program on its shipped empty database in a program directory of its own, with the
// file dialogs and the message boxes under the test's control. Imports stage their files in
// the folder run, the test's own $XDG_RUNTIME_DIR.
class CsvProgramTest : public CProgramTest {
  protected:
    void SetUp() override {
        CProgramTest::SetUp();
        ShipDatabase();
        StartProgram();
        box.shown.clear();
        run = dir + "run";
        std::filesystem::create_directory(run);
        std::filesystem::permissions(run, std::filesystem::perms::owner_all);
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        oldRuntime = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
    }
    void TearDown() override {
        if (oldRuntime) {
            setenv("XDG_RUNTIME_DIR", oldRuntime->c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
        CProgramTest::TearDown();
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
    // A small table: two groups, three contacts in them or not.
    void Fill() {
        AddGroup(1, "Friends");
        AddGroup(3, "Work");
        AddRow({{"iCID", "2"},
                {"iEIdx", "0"},
                {"iGroup", "0"},
                {"strFName", "Zoe"},
                {"strWAddr", "z@pager"},
                {"strWEmail", "z@work"},
                {"byDefault", "2"},
                {"strGrpOfWAddr", ";1;"},
                {"strGrpOfWEmail", ";3;1;"}});
        AddRow({{"iCID", "5"}, {"iEIdx", "4"}, {"iGroup", "0"}, {"strFName", "Adam"}});
        AddRow({{"iCID", "4"},
                {"iEIdx", "2"},
                {"iGroup", "0"},
                {"strFName", "Bea"},
                {"strHEmail", "b@home"},
                {"strGrpOfHEmail", ";3;"},
                {"strNote", "a \"quoted\", note"}});
    }

    // Every row of the table in identifier order, its 22 fields as texts.
    std::string Dump() { return DumpTable(Db()); }

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
    // What the imports left in the folder they stage their files in.
    std::vector<std::string> Staged() { return Listing(run); }

    std::string run;  // the imports' staging base, without a trailing "/"
    std::optional<std::string> oldRuntime;
};

}  // namespace orvex::test
