// The vCard exchange on a real database file: export then import gives the same contacts and
// groups, every value that does not fit is listed with what is stored instead, the book's
// limits hold, and duplicates of contacts already there are found.
#include <gtest/gtest.h>

#include "app/VCardCommands.h"
#include "app/VCardExport.h"
#include "app/VCardImportPlan.h"
#include "db/VCardReader.h"
#include "tests/app/CsvTestSupport.h"

namespace orvex::test {
namespace {

class VCardImportTest : public CsvProgramTest {
  protected:
    std::string Export(EVCardVersion version) {
        int count = 0;
        std::string error;
        EXPECT_TRUE(CVCardExport::ExportContacts(Db(), dir + "book.vcf", version, count, error))
            << error;
        return Slurp(dir + "book.vcf");
    }
    CVCardImportPlan Plan(const std::string& vcf, bool replace, bool keep = false) {
        CVCardImportPlan plan;
        std::vector<SVCard> cards;
        std::string error;
        EXPECT_TRUE(CVCardReader::Read(vcf, cards, error)) << error;
        plan.SetCards(cards);
        EXPECT_TRUE(plan.Build(Db(), replace, keep, error)) << error;
        return plan;
    }
    void Store(const CVCardImportPlan& plan) {
        std::string error;
        ASSERT_TRUE(Db().BeginTrans());
        ASSERT_TRUE(plan.Store(Db(), error)) << error;
        ASSERT_TRUE(Db().CommitTrans());
    }
    void Person(int id, const std::string& first, const std::string& last,
                std::map<std::string, std::string> more = {}) {
        more["iCID"] = more["iEIdx"] = std::to_string(id);
        more["iGroup"] = "0";
        more["strFName"] = first;
        more["strLName"] = last;
        AddRow(more);
    }
};

TEST_F(VCardImportTest, ExportThenImportGivesTheSameContactsAndGroups) {
    AddGroup(3, "Team");
    AddGroup(9, "Caf\xE9 club");
    Person(1, "J\xF6rg", "W\xE4ller",
           {{"strWAddr", "joerg@wave.example"},
            {"strWEmail", "jw@work.example"},
            {"byDefault", "2"},
            {"strGrpOfWAddr", ";9;"},
            {"strGrpOfWEmail", ";3;9;"},
            {"strMPhone", "0170-555(1)"},
            {"strCompany", "Lindholm, Ltd"},
            {"strStreet", "Hauptstr. 5, Hof"},
            {"strCity", "K\xF6ln"},
            {"strZip", "50667"},
            {"strNote", "Costs 5\xA2; call \"after\" 6"}});
    Person(2, "Ann", "",
           {{"strHEmail", "ann@home.example"},
            {"byDefault", "3"},
            {"strGrpOfHEmail", ";3;"},
            {"strFax", "555-1234x9"}});
    Person(4, "", "", {{"strWAddr", "nobody@wave.example"}, {"byDefault", "1"}});
    for (const EVCardVersion version :
         {EVCardVersion::kV30, EVCardVersion::kV40, EVCardVersion::kV21}) {
        const std::string first = Export(version);
        const CVCardImportPlan plan = Plan(first, true);
        EXPECT_EQ(plan.ToStore(), 3);
        EXPECT_EQ(plan.Changed() + plan.LeftOut() + plan.Ignored(), 0);
        Store(plan);
        EXPECT_EQ(Export(version), first) << static_cast<int>(version);
    }
}

TEST_F(VCardImportTest, EveryValueThatDoesNotFitIsListedWithWhatIsStored) {
    const std::string vcf =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Nikolaidou-Papadopoulou-Long;\xC5\x81\xC3\xB3"
        "d\xC5\xBA;;;\r\n"
        "FN:x\r\nTEL;TYPE=CELL:+49 30 123.45\r\nTEL;TYPE=HOME:call me\r\n"
        "EMAIL;TYPE=WORK:a b@work.example\r\nEMAIL:\xCE\xB6@home.example\r\n"
        "NOTE:line one\\nline two\r\nPHOTO;ENCODING=b:AAAA\r\nBDAY:2000-01-01\r\nEND:VCARD\r\n";
    const CVCardImportPlan plan = Plan(vcf, true);
    ASSERT_EQ(plan.Contacts().size(), 1u);
    const SPlannedContact& c = plan.Contacts()[0];
    std::map<std::string, std::pair<std::string, std::string>> seen;
    for (const SFitProblem& p : c.problems) {
        seen[p.field] = {p.proposal, p.reason};
    }
    EXPECT_EQ(seen["Last Name"].first, "Nikolaidou-Papadop");  // cut to 18
    EXPECT_EQ(seen["First Name"].first,
              "L\xC3\xB3"
              "dz");  // as near as Windows-1252 comes
    EXPECT_EQ(seen["Mobile Phone"].first, "00493012345");
    EXPECT_EQ(seen["Home Phone"].first, "");  // left out
    EXPECT_EQ(seen["Work Email"].first, "");
    EXPECT_EQ(seen["Home Email"].first, "");  // no near form for the Greek letter
    EXPECT_EQ(seen["Note"].first, "line one line two");
    EXPECT_EQ(c.texts[CContactFields::kMobilePhone], "00493012345");
    EXPECT_EQ(c.byDefault, 0);
    EXPECT_EQ(c.ignored, 2);
    EXPECT_EQ(plan.LeftOut(), 3);
    EXPECT_EQ(plan.Changed(), 4);
}

TEST_F(VCardImportTest, AddingKeepsTheBooksLimitsAndFindsDuplicates) {
    for (int g = 1; g <= 19; ++g) {
        AddGroup(g, "G" + std::to_string(g));
    }
    Person(30, "Ann", "Lee", {{"strWAddr", "ann@wave.example"}, {"byDefault", "1"}});
    std::string vcf;
    for (int i = 0; i < 12; ++i) {
        vcf += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:P" + std::to_string(i) + ";;;;\r\nEMAIL:p" +
               std::to_string(i) + "@x.example\r\nCATEGORIES:G1,Fresh,Second\r\nEND:VCARD\r\n";
    }
    vcf +=
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nTEL;TYPE=PAGER:ann@wave.example\r\n"
        "END:VCARD\r\n";
    CVCardImportPlan plan = Plan(vcf, false);
    EXPECT_EQ(plan.Duplicates(), 1);
    EXPECT_TRUE(plan.Contacts().back().skipped);
    EXPECT_EQ(plan.ToStore(), 12);
    // G1 and the new "Fresh" take ten members each; "Second" would be a 21st group.
    int eleventh = 0, twentyFirst = 0;
    for (const auto& c : plan.Contacts()) {
        for (const auto& p : c.problems) {
            eleventh += p.field.rfind("Member of", 0) == 0 ? 1 : 0;
            twentyFirst += p.field == "Group" ? 1 : 0;
        }
    }
    EXPECT_EQ(eleventh, 4);
    EXPECT_EQ(twentyFirst, 12);
    Store(plan);
    CADORecordset rows(&Db());
    ASSERT_TRUE(
        rows.Open("select count(*) from t_Contacts where iGroup=1", CADORecordset::openQuery));
    int groups = 0;
    rows.ReadInt(0, groups);
    EXPECT_EQ(groups, 20);
    rows.Close();
    ASSERT_TRUE(rows.Open("select count(*) from t_Contacts where strGrpOfWEmail like '%;1;%'",
                          CADORecordset::openQuery));
    int inG1 = 0;
    rows.ReadInt(0, inG1);
    EXPECT_EQ(inG1, 10);
    // Kept when the user asks for it.
    EXPECT_FALSE(Plan(vcf, false, true).Contacts().back().skipped);
}

// The commands the whole way: Export vCard, then Import vCard after the preview, in both
// modes; each import keeps the book it changes in the history.
TEST_F(VCardImportTest, TheCommandsStoreWhatThePreviewShowed) {
    Person(1, "Ann", "Lee", {{"strWAddr", "ann@wave.example"}, {"byDefault", "1"}});
    chooser.path = dir + "out.vcf";
    frame->Action(CMainFrame::kCmdExportVCard)->trigger();
    ASSERT_TRUE(std::filesystem::exists(dir + "out.vcf"));
    const std::string book = Dump();

    int choice = CVCardCommands::kAdd;
    SVCardPreview shown;
    frame->VCard().SetPreviewer([&](const std::string& name, const auto& build, bool& keep) {
        EXPECT_EQ(name, "out.vcf");
        shown = build(choice == CVCardCommands::kReplace, false);
        keep = false;
        return choice;
    });
    const size_t kept = frame->History().List().size();
    chooser.path = dir + "out.vcf";
    frame->Action(CMainFrame::kCmdImportVCard)->trigger();  // adding: Ann is there already
    ASSERT_EQ(shown.cards.size(), 1u);
    EXPECT_TRUE(shown.cards[0].duplicate && shown.cards[0].skipped);
    EXPECT_EQ(Dump(), book);

    choice = CVCardCommands::kReplace;
    frame->Action(CMainFrame::kCmdImportVCard)->trigger();
    EXPECT_FALSE(shown.cards[0].skipped);
    EXPECT_EQ(frame->History().List().size(), kept + 1) << "the skipped add changed nothing";
    frame->Action(CMainFrame::kCmdExportVCard)->trigger();
    EXPECT_EQ(Slurp(dir + "out.vcf"), Export(EVCardVersion::kV30));

    choice = CVCardCommands::kCancel;
    WriteFile("bad.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nN:X;;;;\r\n");
    chooser.path = dir + "bad.vcf";
    box.shown.clear();
    frame->Action(CMainFrame::kCmdImportVCard)->trigger();
    ASSERT_EQ(box.Shown().size(), 1u);
    EXPECT_NE(box.Shown()[0].find("line 1"), std::string::npos) << box.Shown()[0];
}

}  // namespace
}  // namespace orvex::test
