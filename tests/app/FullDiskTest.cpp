// A disk that fills at any point of an operation: the file-size limit stands in for a full
// disk (writes past it fail, for root too). For each operation the limit is swept over the
// whole of it; at every point the old contents stay whole or the operation completes, the
// database passes its integrity check, and a failure is reported with its cause.
#include <gtest/gtest.h>

#include <QAction>
#include <filesystem>

#include "app/CsvExport.h"
#include "tests/app/CsvTestSupport.h"
#include "tests/app/settings/TempFolder.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

class FullDiskTest : public CsvProgramTest {
  protected:
    void AddPeople(int from, int count, const std::string& name) {
        for (int id = from; id < from + count; ++id) {
            AddRow({{"iCID", std::to_string(id)},
                    {"iEIdx", std::to_string(id)},
                    {"iGroup", "0"},
                    {"strFName", name + std::to_string(id)},
                    {"strNote", std::string(150, 'n')}});
        }
    }
    bool IntegrityOk() {
        CADORecordset check(&Db());
        std::string result;
        return check.Open("PRAGMA integrity_check", CADORecordset::openQuery) &&
               check.ReadText(0, result) && result == "ok";
    }
    // The limits to try: from below the smallest file of the operation to past the largest.
    static std::vector<uintmax_t> Points(uintmax_t largest, int count) {
        std::vector<uintmax_t> points;
        for (int i = 0; i < count; ++i) {
            points.push_back(1024 + (largest + 16384) * static_cast<uintmax_t>(i) / (count - 1));
        }
        return points;
    }
    // The files of the program directory, history and staging aside.
    std::vector<std::string> Files() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.path().filename() != "history" && entry.path().filename() != "run") {
                names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(FullDiskTest, AReplaceImportIsWholeOrNotAtAll) {
    AddPeople(1, 300, "New");
    std::string error;
    ASSERT_TRUE(CCsvExport::ExportContacts(Db(), dir + "people.csv", error)) << error;
    const std::string after = Dump();
    ASSERT_TRUE(Db().Execute(CContactsTable::kDeleteAll));
    AddPeople(1000, 5, "Old");
    const std::string before = Dump();
    const auto files = Files();
    const uintmax_t largest = fs::file_size(dir + "people.csv") * 2;
    int failed = 0;
    for (const uintmax_t limit : Points(largest, 12)) {
        box.shown.clear();
        box.details.clear();
        {
            const FileSizeLimit full(static_cast<rlim_t>(limit));
            Import(dir + "people.csv", IDYES);
        }
        const std::string now = Dump();
        ASSERT_TRUE(now == before || now == after) << "a mix at " << limit;
        EXPECT_TRUE(IntegrityOk()) << limit;
        EXPECT_EQ(Files(), files) << "nothing left lying at " << limit;
        EXPECT_TRUE(Staged().empty()) << limit;
        if (now == before) {
            ++failed;
            const std::string report =
                "Error 002|Failure during importing comma delimited file!"
                "\r\nSome reserved words in the file name may cause\r\n"
                "this problem.\r\nChange your file name or check the "
                "file's format!";
            ASSERT_FALSE(box.Shown().empty()) << limit;
            EXPECT_EQ(box.Shown().back(), report) << limit;
            EXPECT_FALSE(box.Details(report).empty()) << "the cause is told, at " << limit;
        } else {
            // Back to the old book for the next point.
            ASSERT_TRUE(Db().Execute(CContactsTable::kDeleteAll));
            AddPeople(1000, 5, "Old");
        }
    }
    EXPECT_GT(failed, 0) << "the sweep reached the operation";
}

TEST_F(FullDiskTest, BackupAndExportLeaveTheOldFilesWholeOrReplaceThem) {
    AddPeople(1, 200, "Person");
    std::string error;
    ASSERT_TRUE(CCsvExport::ExportContacts(Db(), dir + "old.csv", error));
    const std::string exported = Slurp(dir + "old.csv");
    ASSERT_TRUE(Db().BackupTo(dir + "old.mdb"));
    AddPeople(500, 50, "Later");
    std::string oldCsv = exported;
    std::string oldMdb = Slurp(dir + "old.mdb");
    const uintmax_t largest = fs::file_size(dir + "Orvex.mdb") + fs::file_size(dir + "old.csv");
    int failed = 0;
    for (const uintmax_t limit : Points(largest, 10)) {
        box.shown.clear();
        chooser.path = dir + "old.mdb";
        bool exportedNow = false;
        {
            const FileSizeLimit full(static_cast<rlim_t>(limit));
            frame->Action(CMainFrame::kCmdBackup)->trigger();
            exportedNow = CCsvExport::ExportContacts(Db(), dir + "old.csv", error);
        }
        const std::string mdb = Slurp(dir + "old.mdb");
        if (!box.Shown().empty()) {
            ++failed;
            EXPECT_NE(box.Shown().back().find("could not be backed up to " + dir + "old.mdb"),
                      std::string::npos)
                << box.Shown().back();
            EXPECT_EQ(mdb, oldMdb) << "the older backup stays whole at " << limit;
        } else {
            EXPECT_TRUE(CContactsTable::IsValidContactsDatabase(dir + "old.mdb")) << limit;
            oldMdb = mdb;
        }
        const std::string csv = Slurp(dir + "old.csv");
        if (exportedNow) {
            EXPECT_GT(csv.size(), exported.size()) << limit;
            oldCsv = csv;
        } else {
            EXPECT_EQ(csv, oldCsv) << "the older export stays whole at " << limit;
            EXPECT_NE(error.find("could not be"), std::string::npos) << error;
        }
        for (const auto& entry : fs::directory_iterator(dir)) {
            EXPECT_NE(entry.path().filename().string().front(), '.')
                << "a temporary file left at " << limit << ": " << entry.path();
        }
    }
    EXPECT_GT(failed, 0);
}

TEST_F(FullDiskTest, ARestoreIsWholeOrNotAtAll) {
    AddPeople(1, 150, "Earlier");
    std::string error;
    ASSERT_TRUE(frame->History().Keep(Db(), CBookHistory::kImport, "x.csv", error)) << error;
    const std::string earlier = Dump();
    ASSERT_TRUE(Db().Execute(CContactsTable::kDeleteAll));
    AddPeople(900, 3, "Now");
    const std::string now = Dump();
    const uintmax_t largest = fs::file_size(dir + "Orvex.mdb") * 3;
    int failed = 0;
    for (const uintmax_t limit : Points(largest, 10)) {
        const auto books = frame->History().List();
        const auto it = std::find_if(books.begin(), books.end(), [](const SBookEntry& b) {
            return b.operation == CBookHistory::kImport;
        });
        ASSERT_NE(it, books.end());
        bool restored = false;
        {
            const FileSizeLimit full(static_cast<rlim_t>(limit));
            restored = frame->RestoreBook(*it, error);
        }
        ASSERT_TRUE(Db().IsOpen()) << limit;
        const std::string contents = Dump();
        EXPECT_TRUE(IntegrityOk()) << limit;
        if (restored) {
            EXPECT_EQ(contents, earlier) << limit;
            ASSERT_TRUE(Db().Execute(CContactsTable::kDeleteAll));
            AddPeople(900, 3, "Now");
        } else {
            ++failed;
            EXPECT_EQ(contents, now) << "the current book stays at " << limit;
            EXPECT_FALSE(error.empty());
        }
    }
    EXPECT_GT(failed, 0);
}

}  // namespace
}  // namespace orvex::test
