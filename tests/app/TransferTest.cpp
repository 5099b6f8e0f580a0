// Downloads and uploads the whole way: the program's main window with its real handlers and
// database file, the emulated pager on a pseudo-terminal as COM1.
#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>

#include "app/MainFrame.h"
#include "app/TransferCommands.h"
#include "app/VelkorMgrApp.h"
#include "db/ADORecordset.h"
#include "link/ErrorReport.h"
#include "link/LinkCodes.h"
#include "link/LinkState.h"
#include "tests/QtTestApp.h"
#include "tests/app/ProgramTestSupport.h"
#include "tests/app/settings/TempFolder.h"
#include "tests/link/RecordingWindow.h"
#include "tests/link/SimOnPty.h"
#include "ui/CommProgressDlg.h"
#include "ui/ContactsView.h"
#include "ui/DataGrid.h"
#include "ui/RowSourceModel.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

sim::SPersonalEntry Entry(uint16_t number, const std::string& first, const std::string& last) {
    sim::SPersonalEntry entry;
    entry.number = number;
    entry.texts[sim::kFirstName] = first;
    entry.texts[sim::kLastName] = last;
    return entry;
}

class TransferTest : public CProgramTest {
  protected:
    void SetUp() override {
        CProgramTest::SetUp();
        ShipDatabase();
    }
    void TearDown() override {
        CProgramTest::TearDown();
        pager.reset();
        // The link moved only as its list of states has it, through every transfer and fault.
        EXPECT_EQ(CDeviceLink::StateViolations(), 0);
        EXPECT_EQ(CTransfer::Violations(), 0);
    }

    // Starts the program against an emulator holding book and waits for the device.
    void Start(const sim::CPagerBook& book, sim::SSimFaults faults = {}) {
        pager = std::make_unique<CSimOnPty>(faults);
        ASSERT_TRUE(pager->IsOpen());
        pager->With([&](sim::CPagerSim& s) {
            s.Device().SetBook(book);
            return 0;
        });
        setenv("ORVEX_COM1", pager->Path().c_str(), 1);
        StartProgram();
        // The status timer's first expiry starts the polling; it comes now rather than after
        // its 2.4 s, which the link's own tests time on a virtual clock.
        frame->SendMessage(WM_TIMER, kStatusTimerId, 0);
        ASSERT_TRUE(QTest::qWaitFor([] { return LinkState().devicePresent.load() != 0; }, 15000));
    }

    // Runs a command answered Yes until the program is no longer busy.
    void Run(int command) {
        box.answer = IDYES;
        frame->Action(command)->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->IsBusy(); }, 30000));
    }

    // While the progress window is shown, runs action once the counter reaches `at`.
    void WhenCounterReaches(int at, std::function<void()> action) {
        auto* timer = new QTimer(frame);
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, at, action] {
            CCommProgressDlg& progress = frame->Transfers().Progress();
            if (progress.IsShown() && progress.Counter() >= at) {
                timer->stop();
                timer->deleteLater();
                action();
            }
        });
        timer->start(5);
    }

    void Execute(const std::string& statement) {
        ASSERT_TRUE(frame->Database().Execute(statement)) << frame->Database().GetLastErrorString();
    }

    // Every row as "iCID iEIdx iGroup first|last|groups of the three addresses|note".
    std::vector<std::string> Rows() {
        CADORecordset rows(&frame->Database());
        EXPECT_TRUE(rows.Open("select * from [t_Contacts] order by iGroup, iCID",
                              CADORecordset::openQuery));
        std::vector<std::string> out;
        for (rows.MoveFirst(); rows.RowCount() > 0 && !rows.IsEOF(); rows.MoveNext()) {
            std::string line;
            for (const char* column : {"iCID", "iEIdx", "iGroup"}) {
                std::string value;
                rows.ReadText(column, value);
                line += value + " ";
            }
            for (const char* column : {"strFName", "strLName", "strGrpOfWAddr", "strGrpOfWEmail",
                                       "strGrpOfHEmail", "strNote"}) {
                std::string value;
                rows.ReadText(column, value);
                line += value + (std::string(column) == "strNote" ? "" : "|");
            }
            out.push_back(line);
        }
        return out;
    }

    bool BackupExists() const { return fs::exists(dir + "Orvex.mdb.bak"); }

    sim::CPagerBook Received() {
        return pager->With([](sim::CPagerSim& s) { return s.Device().ReceivedBook(); });
    }

    std::unique_ptr<CSimOnPty> pager;
};

// --- Download -------------------------------------------------------------------------------

TEST_F(TransferTest, DownloadReplacesTheTableWithTheDevicesBook) {
    sim::CPagerBook book;
    sim::SPersonalEntry anna = Entry(1, "Anna", "Berger");
    anna.texts[sim::kWireless] = "anna@wave.example";
    anna.texts[sim::kWorkMail] = "a.berger@lindholm.example";
    anna.texts[sim::kNote] = "Costs 5\xA2";  // the cent sign has the end mark's byte value
    anna.byDefault = sim::kAddressWorkMail;
    book.PutEntry(anna);
    sim::SPersonalEntry joerg = Entry(2, "J\xF6rg", "W\xE4ller");
    joerg.texts[sim::kWireless] = "joerg@wave.example";
    book.PutEntry(joerg);
    book.PutEntry(Entry(7, "", ""));                     // every field empty: a payload of 21 bytes
    sim::SPersonalEntry zed = Entry(163, "Zed", "Low");  // 163's low byte is the group end mark
    zed.texts[sim::kHomeMail] = "zed@home.example";
    book.PutEntry(zed);
    // Group 11 first, then group 1 (which shares its number with Anna's entry).
    book.PutGroup({11, "ABCDEFGHIJKLMNO", {{2, 1}, {163, 3}, {99, 1}}});
    book.PutGroup({1, "\xA1Hola", {{2, 1}, {1, 2}}});
    Start(book);
    Execute("insert into t_Contacts (iCID, iEIdx, iGroup, strFName) values (40, 40, 0, 'Old')");

    Run(CMainFrame::kCmdDownload);
    EXPECT_EQ(box.Shown().size(), 1u) << "only the prompt";
    EXPECT_EQ(Rows(), (std::vector<std::string>{
                          "1 1 0 Anna|Berger|;|;1;|;|Costs 5\xA2",
                          "2 2 0 J\xF6rg|W\xE4ller|;11;1;|;|;|",
                          "7 7 0 ||;|;|;|",
                          "163 163 0 Zed|Low|;|;|;11;|",
                          "1 1 1 \xA1Hola||;|;|;|",
                          "11 11 1 ABCDEFGHIJKLMNO||;|;|;|",
                      }));
    EXPECT_FALSE(BackupExists());
    EXPECT_EQ(frame->ContactsView()->Grid()->Model()->rowCount(), 4);
    EXPECT_EQ(frame->StatusText(CMainFrame::kPaneCounts).toStdString(), "P:004/G:02");
    EXPECT_FALSE(frame->Device().Link().Transfer().Is(CTransfer::EPhase::kDownload));
    EXPECT_FALSE(frame->Transfers().Progress().IsShown());
}

TEST_F(TransferTest, EmptyOrLockedDevicesLeaveTheDatabaseAlone) {
    sim::CPagerBook empty;
    Start(empty);
    Execute("insert into t_Contacts (iCID, iEIdx, iGroup, strFName) values (5, 5, 0, 'Kept')");
    const auto before = Rows();
    Run(CMainFrame::kCmdDownload);
    EXPECT_EQ(box.Shown().back(), "Error 306|The device has no entries!");
    EXPECT_EQ(Rows(), before);
    EXPECT_FALSE(BackupExists());

    pager->With([](sim::CPagerSim& s) {
        s.Device().SetBook(sim::CPagerBook::Sample());
        s.Device().SetLocked(true);
        return 0;
    });
    Run(CMainFrame::kCmdDownload);
    EXPECT_EQ(box.Shown().back(), "Error 305|The device is locked!");
    EXPECT_EQ(Rows(), before);
    EXPECT_FALSE(BackupExists());
}

TEST_F(TransferTest, ADeviceFallingSilentCostsNoContact) {
    sim::CPagerBook book = sim::CPagerBook::Sample();  // four entries and one group
    Start(book);
    Execute(
        "insert into t_Contacts (iCID, iEIdx, iGroup, strFName, strGrpOfWAddr) values "
        "(5, 5, 0, 'Kept', ';6;')");
    Execute("insert into t_Contacts (iCID, iEIdx, iGroup, strFName) values (6, 6, 1, 'Team')");
    const auto before = Rows();
    for (size_t k : {0u, 2u, 4u}) {
        sim::SSimFaults faults;
        faults.silentAfterRecords = k;
        pager->With([&](sim::CPagerSim& s) {
            s.SetFaults(faults);
            return 0;
        });
        box.shown.clear();
        Run(CMainFrame::kCmdDownload);
        EXPECT_EQ(box.Shown().back(), "Error 309|Download failed!") << k;
        EXPECT_EQ(Rows(), before) << k;
        EXPECT_FALSE(BackupExists()) << k;
        EXPECT_EQ(frame->ContactsView()->Grid()->Model()->rowCount(), 1) << k;
        pager->With([](sim::CPagerSim& s) {
            s.SetFaults({});
            return 0;
        });
        ASSERT_TRUE(QTest::qWaitFor([] { return LinkState().devicePresent.load() != 0; }, 15000));
    }
}

TEST_F(TransferTest, StopPutsTheContactsBackWithoutAReport) {
    sim::SSimFaults faults;
    faults.silentAfterRecords = 2;
    Start(sim::CPagerBook::Sample(), faults);
    Execute("insert into t_Contacts (iCID, iEIdx, iGroup, strFName) values (5, 5, 0, 'Kept')");
    const auto before = Rows();
    WhenCounterReaches(2, [this] { frame->Transfers().Progress().StopButton().click(); });
    Run(CMainFrame::kCmdDownload);
    EXPECT_EQ(box.Shown().size(), 1u) << box.Shown().back();
    EXPECT_EQ(Rows(), before);
    EXPECT_FALSE(BackupExists());
}

TEST_F(TransferTest, NoSafetyCopyNoDownload) {
    Start(sim::CPagerBook::Sample());
    Execute("insert into t_Contacts (iCID, iEIdx, iGroup, strFName) values (5, 5, 0, 'Kept')");
    const auto before = Rows();
    // A directory in the copy's place: the copy cannot take that name.
    fs::create_directory(dir + "Orvex.mdb.bak");
    Run(CMainFrame::kCmdDownload);
    ASSERT_GE(box.Shown().size(), 2u);
    EXPECT_EQ(box.Shown().back(), "Error 309|Download failed!");
    EXPECT_NE(box.Details("Error 309|Download failed!").find(dir + "Orvex.mdb.bak"),
              std::string::npos)
        << "the cause, not a link fault";
    EXPECT_EQ(Rows(), before);
    EXPECT_TRUE(fs::is_directory(dir + "Orvex.mdb.bak"));
}

// The disk fills at any point of a download (the file-size limit stands in for it, raised in
// steps from below the kept book until the download fits): until then the contacts are those
// of before, the file passes its check, no safety copy is left, and each failure is Error 309
// with its cause in the details; then the whole book is there.
TEST_F(TransferTest, ADiskThatFillsAnywhereInADownloadLeavesABookWholeAndSaysWhy) {
    sim::CPagerBook book;
    for (uint16_t n = 1; n <= 120; ++n) {
        sim::SPersonalEntry entry = Entry(n, "Person" + std::to_string(n), "Surname");
        entry.texts[sim::kNote] = std::string(200, 'x');
        book.PutEntry(entry);
    }
    Start(book);
    Execute("insert into t_Contacts (iCID, iEIdx, iGroup, strFName) values (5, 5, 0, 'Kept')");
    const auto before = Rows();
    const std::string report = "Error 309|Download failed!";
    std::set<std::string> stages;
    bool done = false;
    int linkFailures = 0;
    for (uintmax_t limit = 1024; !done && limit < 256 * 1024; limit += 4096) {
        ASSERT_TRUE(QTest::qWaitFor([] { return LinkState().devicePresent.load() != 0; }, 15000));
        box.shown.clear();
        box.details.clear();
        {
            const FileSizeLimit full(static_cast<rlim_t>(limit));
            Run(CMainFrame::kCmdDownload);
        }
        const auto rows = Rows();
        done = rows != before;
        if (done) {
            ASSERT_EQ(rows.size(), 120u) << "a mix at " << limit;
            EXPECT_EQ(rows.front(), "1 1 0 Person1|Surname|;|;|;|" + std::string(200, 'x'));
        } else {
            ASSERT_FALSE(box.Shown().empty()) << limit;
            EXPECT_EQ(box.Shown().back(), report) << limit;
            const std::string details = box.Details(report);
            if (details.empty() && ++linkFailures <= 2) {
                // A time-out of the link on a loaded machine, not the disk: the point again.
                limit -= 4096;
                continue;
            }
            EXPECT_NE(details.find("disk I/O error"), std::string::npos) << details;
            stages.insert(details.substr(0, details.find(" in /")));
            if (details.find("kept as an earlier book") != std::string::npos) {
                EXPECT_NE(details.find("File too large"), std::string::npos)
                    << "the system's reason";
            }
        }
        CADORecordset check(&frame->Database());
        std::string integrity;
        EXPECT_TRUE(check.Open("PRAGMA integrity_check", CADORecordset::openQuery) &&
                    check.ReadText(0, integrity) && integrity == "ok")
            << limit;
        EXPECT_FALSE(BackupExists()) << limit;
        for (const auto& entry : fs::directory_iterator(dir)) {
            EXPECT_NE(entry.path().filename().string().front(), '.')
                << "a temporary file left at " << limit << ": " << entry.path();
        }
    }
    EXPECT_TRUE(done);
    EXPECT_EQ(stages,
              (std::set<std::string>{"The contacts could not be kept as an earlier book",
                                     "The downloaded contacts could not be written to disk"}));
}

// The adapter pulled out in the middle of a download: the download fails as after a time-out,
// no contact is lost, and the link finds the adapter again once it is back under its name.
TEST_F(TransferTest, AnAdapterPulledOutMidDownloadCostsNoContactAndIsFoundAgain) {
    sim::SSimFaults faults;
    faults.silentAfterRecords = 2;  // holds the transfer open until the cable goes
    pager = std::make_unique<CSimOnPty>(faults);
    ASSERT_TRUE(pager->IsOpen());
    const std::string byId = dir + "usb-Test_Adapter_0001-if00-port0";
    fs::create_symlink(pager->Path(), byId);
    setenv("ORVEX_COM1", byId.c_str(), 1);
    StartProgram();
    ASSERT_TRUE(QTest::qWaitFor([] { return LinkState().devicePresent.load() != 0; }, 15000));
    Execute("insert into t_Contacts (iCID, iEIdx, iGroup, strFName) values (5, 5, 0, 'Kept')");
    const auto before = Rows();

    WhenCounterReaches(2, [this] { pager->HangUp(); });
    Run(CMainFrame::kCmdDownload);
    EXPECT_EQ(box.Shown().back(), "Error 309|Download failed!");
    EXPECT_EQ(Rows(), before);
    EXPECT_FALSE(BackupExists());
    EXPECT_EQ(frame->StatusText(CMainFrame::kPaneConnection), "Disconnected");
    EXPECT_EQ(frame->StatusText(CMainFrame::kPanePort), "CLOSE");

    auto back = std::make_unique<CSimOnPty>();
    ASSERT_TRUE(back->IsOpen());
    fs::remove(byId);
    fs::create_symlink(back->Path(), byId);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return frame->StatusText(CMainFrame::kPaneConnection) == "Connected"; }, 15000));
    EXPECT_EQ(frame->StatusText(CMainFrame::kPanePort), "COM1");
    app.reset();
    back.reset();
}

// A download keeps the book it replaces; restoring that book brings the contacts back and
// keeps the downloaded book in its turn.
TEST_F(TransferTest, ADownloadCanBeTakenBack) {
    Start(sim::CPagerBook::Sample());
    Execute("insert into t_Contacts (iCID, iEIdx, iGroup, strFName) values (5, 5, 0, 'Kept')");
    const auto before = Rows();
    Run(CMainFrame::kCmdDownload);
    ASSERT_NE(Rows(), before);
    const auto downloaded = Rows();
    auto books = frame->History().List();
    ASSERT_EQ(books.size(), 1u);
    EXPECT_EQ(books[0].operation, CBookHistory::kDownload);
    EXPECT_EQ(books[0].personal, 1);

    std::string error;
    ASSERT_TRUE(frame->RestoreBook(books[0], error)) << error;
    EXPECT_EQ(Rows(), before);
    EXPECT_EQ(frame->ContactsView()->Grid()->Model()->rowCount(), 1);
    EXPECT_EQ(frame->StatusText(CMainFrame::kPaneCounts), "P:001/G:00");
    books = frame->History().List();
    ASSERT_EQ(books.size(), 2u);
    EXPECT_EQ(books[0].operation, CBookHistory::kRestore);
    ASSERT_TRUE(frame->RestoreBook(books[0], error)) << error;
    EXPECT_EQ(Rows(), downloaded) << "a restore can be undone too";
}

// --- Upload ---------------------------------------------------------------------------------

TEST_F(TransferTest, UploadSendsEveryRowInNameOrderAndTheGroupsWithTheirMembers) {
    sim::CPagerBook book;
    book.SetCapacity(3);
    Start(book);
    // Three personal rows (the capacity), group 4 with Bea twice, group 12 with Carl.
    Execute(
        "insert into t_Contacts (iCID, iEIdx, iGroup, strFName, strLName, strWAddr, strHEmail,"
        " strGrpOfWAddr, strGrpOfHEmail) values "
        "(1, 21, 0, 'Bea', 'Zorn', 'bea@w', 'bea@h', ';4;', ';4;'), "
        "(2, 22, 0, 'Carl', 'Adams', 'carl@w', null, ';12;', ';'), "
        "(3, 23, 0, 'Bea', 'Abel', null, null, ';', ';')");
    Execute(
        "insert into t_Contacts (iCID, iEIdx, iGroup, strFName) values "
        "(4, 24, 1, 'A very long group name'), (12, 25, 1, 'Cyclists')");
    Run(CMainFrame::kCmdUpload);
    EXPECT_EQ(box.Shown().size(), 1u) << box.Shown().back();
    const sim::CPagerBook received = Received();
    ASSERT_EQ(received.Entries().size(), 3u);
    // Sent in one sequence by first, then last name: "A very..." is a group row among them.
    EXPECT_EQ(received.Entries()[0].number, 23);
    EXPECT_EQ(received.Entries()[1].number, 21);
    EXPECT_EQ(received.Entries()[2].number, 22);
    EXPECT_EQ(received.Entries()[1].texts[sim::kHomeMail], "bea@h");
    ASSERT_EQ(received.Groups().size(), 2u);
    EXPECT_EQ(received.Groups()[0].number, 24);
    EXPECT_EQ(received.Groups()[0].name, "A very long gro");
    EXPECT_EQ(
        received.Groups()[0].members,
        (std::vector<sim::SGroupMember>{{21, sim::kAddressWireless}, {21, sim::kAddressHomeMail}}));
    EXPECT_EQ(received.Groups()[1].members,
              (std::vector<sim::SGroupMember>{{22, sim::kAddressWireless}}));
    EXPECT_EQ(pager->With([](sim::CPagerSim& s) { return s.Device().AnnouncedGroups(); }),
              std::optional<uint8_t>(2));
    EXPECT_FALSE(frame->Transfers().Progress().IsShown());
}

TEST_F(TransferTest, OneContactMoreThanTheDeviceHoldsIsNotSent) {
    sim::CPagerBook book;
    book.SetCapacity(2);
    Start(book);
    Execute(
        "insert into t_Contacts (iCID, iEIdx, iGroup, strFName) values "
        "(1, 1, 0, 'A'), (2, 2, 0, 'B'), (3, 3, 0, 'C'), (4, 4, 1, 'G')");
    Run(CMainFrame::kCmdUpload);
    EXPECT_EQ(box.Shown().back(), "Error 308|The device can have maximum 2 personal entries!");
    EXPECT_FALSE(pager->With([](sim::CPagerSim& s) { return s.Device().UploadStarted(); }));
    EXPECT_FALSE(frame->IsBusy());
}

TEST_F(TransferTest, GroupRowsAloneAreUploaded) {
    Start(sim::CPagerBook::Sample());
    Execute(
        "insert into t_Contacts (iCID, iEIdx, iGroup, strFName) values "
        "(1, 1, 1, 'Bowling'), (2, 2, 1, 'Choir')");
    Run(CMainFrame::kCmdUpload);
    EXPECT_EQ(box.Shown().size(), 1u) << box.Shown().back();
    const sim::CPagerBook received = Received();
    EXPECT_TRUE(received.Entries().empty());
    ASSERT_EQ(received.Groups().size(), 2u);
    EXPECT_EQ(received.Groups()[0].name, "Bowling");

    // An empty table has nothing to send.
    Execute("delete from t_Contacts");
    Run(CMainFrame::kCmdUpload);
    EXPECT_EQ(box.Shown().back(), "Error 307|The PC has no entries!");
}

TEST_F(TransferTest, AnUploadTimeOutLeavesThePcAsItWas) {
    Start(sim::CPagerBook::Sample());
    for (int i = 1; i <= 6; ++i) {
        Execute("insert into t_Contacts (iCID, iEIdx, iGroup, strFName) values (" +
                std::to_string(i) + ", " + std::to_string(i) + ", 0, 'P" + std::to_string(i) +
                "')");
    }
    const auto before = Rows();
    // The device falls silent once it has taken two rows.
    pager->SetHook([](sim::CPagerSim& s) {
        if (s.Counters().Accepted(kCmdUploadRow) >= 2) {
            sim::SSimFaults silent;
            silent.silent = true;
            s.SetFaults(silent);
        }
    });
    Run(CMainFrame::kCmdUpload);
    EXPECT_EQ(box.Shown().back(), "Error 310|Upload failed!");
    EXPECT_EQ(Rows(), before);
    EXPECT_FALSE(frame->Transfers().Progress().IsShown());
    EXPECT_FALSE(frame->Device().Link().Transfer().Is(CTransfer::EPhase::kUploadRows));
}

}  // namespace
}  // namespace orvex::test
