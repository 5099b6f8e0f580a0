#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/CharsetDecoder.h"
#include "db/VCardReader.h"
#include "db/VCardWriter.h"

namespace orvex::test {
namespace {

using Value = std::vector<SVCardProperty::Component>;

// As a phone writes it: 2.1, LF line ends, a byte-order mark, bare types, quoted-printable
// UTF-8 with a soft line break, a photo whose base64 runs on to a blank line, and a second
// card in 8-bit Windows-1252 and ISO-8859 without escaping its commas.
const std::string kPhone21 =
    "\xEF\xBB\xBF"
    "BEGIN:VCARD\n"
    "VERSION:2.1\n"
    "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=CE=A0=CE=B1=CF=80=CE=B1=CE=B4=CF=8C=CF=80=CE=BF="
    "CF=85=CE=BB=CE=BF=CF=82;=CE=93=CE=B9=CF=8E=CF=81=CE=B3=CE=BF=CF=82;;;\n"
    "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=CE=93=CE=B9=CF=8E=CF=81=CE=B3=CE=BF=CF=82 =CE=\n"
    "=A0=CE=B1=CF=80=CE=B1=CE=B4=CF=8C=CF=80=CE=BF=CF=85=CE=BB=CE=BF=CF=82\n"
    "TEL;CELL;PREF:+30 691 234 5678\n"
    "TEL;WORK;VOICE:+30 210 123 4567\n"
    "NOTE;QUOTED-PRINTABLE:Line one=0D=0ALine two, a comma; a semicolon=\n"
    " and a blank\n"
    "ADR;HOME:;;12 Main St, Apt 4;Athens;;10558;Greece\n"
    "PHOTO;ENCODING=BASE64;TYPE=JPEG:\n"
    "    /9j/4AAQSkZJRgABAQ\n"
    "AAAQABAAD/2wBDAAgG\n"
    "\n"
    "EMAIL;INTERNET:giorgos@example.com\n"
    "END:VCARD\n"
    "\n"
    "BEGIN:VCARD\n"
    "VERSION:2.1\n"
    "N;CHARSET=WINDOWS-1252:M\xFCller;J\xFCrgen\n"
    "FN:Ren\xE9"
    "e M\xFCller, Dr.\n"
    "ORG;ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-1:Caf=E9 Soci=E9t=E9\n"
    "X-CITY;CHARSET=ISO-8859-2:\xA3\xF3\x64\xBC\n"
    "X-PRICE;CHARSET=iso-8859-15:\xA4uro\n"
    "AGENT:\n"
    "BEGIN:VCARD\n"
    "FN:The assistant\n"
    "END:VCARD\n"
    "END:VCARD\n";

// As a desktop mail program writes it: 3.0, CR LF, folded lines (one fold inside a UTF-8
// sequence, one inside the parameters), escapes, groups, names in any letter case, TYPE in
// both its forms, a folded base64 photo, blank lines between the cards, and a second card
// appended from another file (its own byte-order mark) whose CR LF became CR CR LF.
const std::string kMail30 =
    "BEGIN:VCARD\r\n"
    "VERSION:3.0\r\n"
    "N:Иванов;Иван;Иванович;;\r\n"
    "FN:Иван Ив\xD0\r\n"
    " \xB0нович Иванов\r\n"
    "ORG:Рога и копыта\\, ООО;Отдел продаж\r\n"
    "tel;type=work,voice:+7 495 123-45-67\r\n"
    "TEL;TYPE=HOME;TY\r\n"
    " PE=pref:+7 495 765-43-21\r\n"
    "item1.EMAIL;type=INTERNET:ivan@example.ru\r\n"
    "item1.X-ABLabel:Личная\r\n"
    "NOTE:Первая строка\\nвторая\\, с запятой\\; и точкой с запятой\\\\конец\\N\r\n"
    "CATEGORIES:Друзья,Работа\r\n"
    "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQ\r\n"
    " SkZJRg==\r\n"
    "ADR;TYPE=WORK:;;ул. Тверская\\, 1;Москва;;125009;Россия\r\n"
    "END:VCARD\r\n"
    "\r\n"
    "\r\n"
    "\xEF\xBB\xBF"
    "begin:vcard\r\r\n"
    "version:3.0\r\r\n"
    "N:O'Neil;Anne-Marie;;Dr.,Prof.;\r\r\n"
    "NOTE;LANGUAGE=en:fo\r\r\n"
    " lded\r\r\n"
    "\t twice\r\r\n"
    "end:vcard\r\r\n";

// As a contact server writes it: 4.0, PREF numbers, a quoted TYPE list, URIs, RFC 6868
// escapes in a quoted parameter, Japanese text.
const std::string kServer40 =
    "BEGIN:VCARD\r\n"
    "VERSION:4.0\r\n"
    "FN:山田 太郎\r\n"
    "N:山田;太郎;;;\r\n"
    "TEL;VALUE=uri;PREF=1;TYPE=\"voice,work\":tel:+81-3-1234-5678;ext=12\r\n"
    "TEL;VALUE=uri;PREF=2;TYPE=cell:tel:+81-90-1234-5678\r\n"
    "ADR;LABEL=\"1-2-3 Chiyoda^nTokyo ^'HQ^'\";TYPE=work:;;1-2-3 Chiyoda;Tokyo;;100-0001;Japan\r\n"
    "URL:https://example.jp/a;b,c\r\n"
    "UID:urn:uuid:4fbe8971-0bc3-424c-9c26-36c3e1eff6b1\r\n"
    "END:VCARD\r\n";

std::vector<SVCard> ReadOk(const std::string& text) {
    std::vector<SVCard> cards;
    std::string error;
    EXPECT_TRUE(CVCardReader::Read(text, cards, error)) << error;
    return cards;
}

std::string ReadError(const std::string& text) {
    std::vector<SVCard> cards;
    std::string error;
    EXPECT_FALSE(CVCardReader::Read(text, cards, error));
    EXPECT_TRUE(cards.empty());
    return error;
}

TEST(VCardReaderTest, ReadsAPhonesVersion21) {
    const std::vector<SVCard> cards = ReadOk(kPhone21);
    ASSERT_EQ(cards.size(), 2u);
    const SVCard& greek = cards[0];
    EXPECT_EQ(greek.version, "2.1");
    EXPECT_EQ(greek.Version(), EVCardVersion::kV21);
    EXPECT_EQ(greek.firstLine, 1);
    EXPECT_EQ(greek.Find("n")->value, (Value{{"Παπαδόπουλος"}, {"Γιώργος"}, {""}, {""}, {""}}));
    EXPECT_EQ(greek.Find("FN")->Text(), "Γιώργος Παπαδόπουλος") << "a soft line break";
    EXPECT_TRUE(greek.Find("FN")->params.empty()) << "CHARSET and ENCODING are taken up";
    const std::vector<const SVCardProperty*> tels = greek.FindAll("TEL");
    ASSERT_EQ(tels.size(), 2u);
    EXPECT_TRUE(tels[0]->HasType("cell"));
    EXPECT_TRUE(tels[0]->IsPreferred());
    EXPECT_EQ(tels[0]->line, 6);
    EXPECT_TRUE(tels[1]->HasType("WORK") && tels[1]->HasType("Voice"));
    EXPECT_FALSE(tels[1]->IsPreferred());
    EXPECT_EQ(greek.Find("NOTE")->Text(), "Line one\nLine two, a comma; a semicolon and a blank")
        << "a line after a soft line break is taken as it is, its blank too";
    const SVCardProperty& adr = *greek.Find("ADR");
    EXPECT_EQ(adr.value.size(), 7u);
    EXPECT_EQ(adr.ComponentText(2), "12 Main St, Apt 4") << "an unescaped comma of 2.1";
    EXPECT_EQ(adr.ComponentText(3), "Athens");
    const SVCardProperty& photo = *greek.Find("PHOTO");
    EXPECT_TRUE(photo.base64);
    EXPECT_EQ(photo.Text(), "/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAgG");
    EXPECT_EQ(photo.params, (std::vector<SVCardProperty::Param>{{"TYPE", {"JPEG"}}}));
    ASSERT_NE(greek.Find("EMAIL"), nullptr) << "the blank line ended the photo, not the card";
    EXPECT_TRUE(greek.Find("EMAIL")->HasType("internet"));

    const SVCard& latin = cards[1];
    EXPECT_EQ(latin.firstLine, 18);
    EXPECT_EQ(latin.Find("N")->value, (Value{{"Müller"}, {"Jürgen"}}));
    EXPECT_EQ(latin.Find("FN")->Text(), "Renée Müller, Dr.")
        << "no CHARSET and not UTF-8: Windows-1252; the comma of a text is text";
    EXPECT_EQ(latin.Find("ORG")->Text(), "Café Société");
    EXPECT_EQ(latin.Find("X-CITY")->Text(), "Łódź");
    EXPECT_EQ(latin.Find("X-PRICE")->Text(), "€uro");
    EXPECT_EQ(latin.properties.back().name, "AGENT") << "the agent's own card is passed over";
}

TEST(VCardReaderTest, ReadsAMailProgramsVersion30) {
    const std::vector<SVCard> cards = ReadOk(kMail30);
    ASSERT_EQ(cards.size(), 2u);
    const SVCard& card = cards[0];
    EXPECT_EQ(card.Find("N")->value, (Value{{"Иванов"}, {"Иван"}, {"Иванович"}, {""}, {""}}));
    EXPECT_EQ(card.Find("FN")->Text(), "Иван Иванович Иванов");
    EXPECT_EQ(card.Find("ORG")->value, (Value{{"Рога и копыта, ООО"}, {"Отдел продаж"}}));
    const std::vector<const SVCardProperty*> tels = card.FindAll("TEL");
    ASSERT_EQ(tels.size(), 2u);
    EXPECT_EQ(tels[0]->params, (std::vector<SVCardProperty::Param>{{"TYPE", {"work", "voice"}}}));
    EXPECT_EQ(tels[1]->params, (std::vector<SVCardProperty::Param>{{"TYPE", {"HOME", "pref"}}}))
        << "TYPE=a;TYPE=b is TYPE=a,b, and the fold inside it is gone";
    EXPECT_TRUE(tels[1]->IsPreferred());
    const SVCardProperty& email = *card.Find("EMAIL");
    const SVCardProperty& label = *card.Find("X-ABLABEL");
    EXPECT_EQ(email.group, "item1");
    EXPECT_EQ(label.group, "item1");
    EXPECT_EQ(label.Text(), "Личная");
    EXPECT_EQ(card.Find("NOTE")->Text(),
              "Первая строка\nвторая, с запятой; и точкой с запятой\\конец\n");
    EXPECT_EQ(card.Find("CATEGORIES")->value, (Value{{"Друзья", "Работа"}}));
    EXPECT_EQ(card.Find("PHOTO")->Text(), "/9j/4AAQSkZJRg==");
    EXPECT_EQ(card.Find("ADR")->ComponentText(2), "ул. Тверская, 1");
    EXPECT_EQ(card.Find("ADR")->value[2].size(), 1u) << "an escaped comma is not a list";

    EXPECT_EQ(cards[1].version, "3.0") << "names in any letter case";
    EXPECT_EQ(cards[1].firstLine, 20);
    EXPECT_EQ(cards[1].Find("N")->value,
              (Value{{"O'Neil"}, {"Anne-Marie"}, {""}, {"Dr.", "Prof."}, {""}}));
    EXPECT_EQ(cards[1].Find("NOTE")->Text(), "folded twice");
    EXPECT_EQ(*cards[1].Find("NOTE")->FindParam("language"), std::vector<std::string>{"en"});
}

TEST(VCardReaderTest, ReadsAContactServersVersion40) {
    const std::vector<SVCard> cards = ReadOk(kServer40);
    ASSERT_EQ(cards.size(), 1u);
    const SVCard& card = cards[0];
    EXPECT_EQ(card.Version(), EVCardVersion::kV40);
    EXPECT_EQ(card.Find("FN")->Text(), "山田 太郎");
    const std::vector<const SVCardProperty*> tels = card.FindAll("TEL");
    ASSERT_EQ(tels.size(), 2u);
    EXPECT_EQ(tels[0]->Text(), "tel:+81-3-1234-5678;ext=12");
    EXPECT_TRUE(tels[0]->HasType("voice") && tels[0]->HasType("work")) << "a quoted list of types";
    EXPECT_EQ(tels[0]->Preference(), 1);
    EXPECT_EQ(tels[1]->Preference(), 2);
    EXPECT_EQ(*card.Find("ADR")->FindParam("LABEL"),
              std::vector<std::string>{"1-2-3 Chiyoda\nTokyo \"HQ\""});
    EXPECT_EQ(card.Find("URL")->Text(), "https://example.jp/a;b,c");
    EXPECT_EQ(card.Find("UID")->Text(), "urn:uuid:4fbe8971-0bc3-424c-9c26-36c3e1eff6b1");
}

TEST(VCardReaderTest, ConvertsAnyCharsetIconvKnowsAndUtf16Files) {
    const std::vector<SVCard> cards = ReadOk(
        "BEGIN:VCARD\nVERSION:2.1\n"
        "FN;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:=8E=52=93=63\n"
        "NOTE;CHARSET=KOI8-R:\xF0\xD2\xC9\xD7\xC5\xD4\n"
        "X-BAD;CHARSET=UTF-8:Stra\xDF"
        "e\n"
        "END:VCARD\n");
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].Find("FN")->Text(), "山田");
    EXPECT_EQ(cards[0].Find("NOTE")->Text(), "Привет");
    EXPECT_EQ(cards[0].Find("X-BAD")->Text(), "Straße") << "says UTF-8 and is not";

    const std::u16string utf16 =
        u"\uFEFFBEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zoë Ωμέγα\r\nEND:VCARD\r\n";
    std::string bytes;
    for (const char16_t unit : utf16) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    const std::vector<SVCard> wide = ReadOk(bytes);
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(wide[0].Find("FN")->Text(), "Zoë Ωμέγα");
}

TEST(VCardReaderTest, BadInputFailsNamingTheLine) {
    const struct {
        std::string text;
        std::string expected;  // what the error must hold
    } cases[] = {
        {"BEGIN:VCARD\nVERSION:3.0\nFN:A\n", "line 1: the card that begins here has no END:VCARD"},
        {"BEGIN:VCARD\nFN:A\n\nBEGIN:VCARD\nFN:B\nEND:VCARD\n", "line 1: the card"},
        {"BEGIN:VCARD\nFN:A\nBEGIN:VCARD\nFN:B\nEND:VCARD\n", "next BEGIN:VCARD is on line 3"},
        {"BEGIN:VCARD\nFN:A\nEND:VCARD\nEND:VCARD\n", "line 4: END:VCARD without BEGIN:VCARD"},
        {"BEGIN:VCARD\r\nFN:A\r\nthis is no property\r\nEND:VCARD\r\n",
         "line 3: \"this is no property\" is not a property: it has no ':'"},
        {"FN:A\nBEGIN:VCARD\nEND:VCARD\n", "line 1: FN stands outside any card"},
        {"BEGIN:VCARD\nEND:VCARD\nNOTE:after\n", "line 3: NOTE stands outside"},
        {"BEGIN:VCARD\nFN;CHARSET=X-NO-SUCH-SET:A\nEND:VCARD\n",
         "line 2: unknown character set \"X-NO-SUCH-SET\""},
        {"BEGIN:VCARD\nFN:A\nNOTE;ENCODING=QUOTED-PRINTABLE:ab=\ncd=XYef\nEND:VCARD\n",
         "line 3: the value of NOTE is not valid quoted-printable (\"=XY\")"},
        {"BEGIN:VCARD\nFN;ENCODING=ROT13:A\nEND:VCARD\n", "line 2: unknown encoding \"ROT13\""},
        {"BEGIN:VCARD\nTEL;TYPE=\"work:123\nEND:VCARD\n",
         "line 2: a quoted parameter value is not closed"},
        {"BEGIN:VCARD\nFULL NAME:A\nEND:VCARD\n", "line 2: \"FULL NAME\" is not a property name"},
        {"BEGIN:VCARD\nTEL;TY PE=work:1\nEND:VCARD\n", "line 2: \"TY PE\" is not a parameter name"},
    };
    for (const auto& each : cases) {
        EXPECT_NE(ReadError(each.text).find(each.expected), std::string::npos)
            << each.text << "\nmust fail with: " << each.expected;
    }

    std::string huge(CVCardReader::kMaxBytes + 1, '\n');
    EXPECT_NE(ReadError(huge).find("64 MiB"), std::string::npos);
    std::string many;
    for (size_t i = 0; i <= CVCardReader::kMaxCards; ++i) {
        many += "BEGIN:VCARD\nEND:VCARD\n";
    }
    EXPECT_NE(ReadError(many).find("line 200001: the file holds more than 100000 cards"),
              std::string::npos);
    std::vector<SVCard> cards;
    std::string error;
    EXPECT_FALSE(CVCardReader::ReadFile("/nonexistent/contacts.vcf", cards, error));
    EXPECT_NE(error.find("/nonexistent/contacts.vcf"), std::string::npos);
}

// A card the mapping of contacts could make, with what each version writes in its own way.
SVCard SmallCard() {
    SVCard card;
    card.properties.push_back(
        SVCardProperty::MakeStructured("N", {"Müller", "Jürgen", "", "", ""}));
    card.properties.push_back(SVCardProperty::Make("FN", "Jürgen Müller"));
    SVCardProperty tel = SVCardProperty::Make("TEL", "+49 30 1234");
    tel.AddType("work");
    tel.AddType("voice");
    card.properties.push_back(tel);
    card.properties.push_back(SVCardProperty::Make("NOTE", "a,b;c\\d\ne"));
    return card;
}

TEST(VCardWriterTest, WritesWhatEachVersionReads) {
    EXPECT_EQ(CVCardWriter::Write({SmallCard()}),
              "BEGIN:VCARD\r\nVERSION:3.0\r\n"
              "N:Müller;Jürgen;;;\r\n"
              "FN:Jürgen Müller\r\n"
              "TEL;TYPE=work,voice:+49 30 1234\r\n"
              "NOTE:a\\,b\\;c\\\\d\\ne\r\n"
              "END:VCARD\r\n");
    EXPECT_EQ(CVCardWriter::Write({SmallCard()}, EVCardVersion::kV21),
              "BEGIN:VCARD\r\nVERSION:2.1\r\n"
              "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=BCrgen;;;\r\n"
              "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=BCrgen M=C3=BCller\r\n"
              "TEL;work;voice:+49 30 1234\r\n"
              "NOTE;ENCODING=QUOTED-PRINTABLE:a,b;c\\\\d=0D=0Ae\r\n"
              "END:VCARD\r\n");
    const std::string v40 = CVCardWriter::Write({SmallCard()}, EVCardVersion::kV40);
    EXPECT_EQ(v40.substr(0, 26), "BEGIN:VCARD\r\nVERSION:4.0\r\n");
}

// Cards with all that is hard to write: long values in Greek, Japanese and four-byte
// characters that must fold, parameter values that need quotes and RFC 6868 escapes, blanks
// at the ends, a photo, empty and escaped values.
std::vector<SVCard> HardCards() {
    SVCard card;
    std::string greek, japanese, emoji;
    for (int i = 0; i < 12; ++i) {
        greek += "Αλφάβητο ";
        japanese += "東京都千代田区";
        emoji += "😀a";
    }
    card.properties.push_back(SVCardProperty::Make("NOTE", greek + "\n" + japanese));
    card.properties.push_back(
        SVCardProperty::MakeStructured("ADR", {"", "", japanese, emoji, "", "", ""}));
    SVCardProperty fn = SVCardProperty::Make("FN", " blank at both ends ");
    fn.AddParam("X-LABEL", "a:b;c,d \"e\" ^f\ng");
    fn.AddParam("X-LABEL", "  ");
    fn.AddParam("X-Empty", "");
    fn.group = "item7";
    card.properties.push_back(fn);
    SVCardProperty photo = SVCardProperty::Make("PHOTO", std::string(200, 'Q') + "==");
    photo.base64 = true;
    photo.AddType("JPEG");
    card.properties.push_back(photo);
    card.properties.push_back(SVCardProperty::Make("X-EMPTY", ""));
    card.properties.push_back(SVCardProperty::Make("X-END", "END:VCARD"));
    card.properties.push_back(SVCardProperty::Make("X-LONG-ASCII", std::string(300, 'x') + " =\t"));
    return {card};
}

TEST(VCardWriterTest, EveryVersionReadsBackPropertyForProperty) {
    std::vector<SVCard> all;
    for (const std::string& text : {kPhone21, kMail30, kServer40}) {
        for (SVCard& card : ReadOk(text)) {
            all.push_back(std::move(card));
        }
    }
    for (SVCard& card : HardCards()) {
        all.push_back(std::move(card));
    }
    for (const EVCardVersion version :
         {EVCardVersion::kV21, EVCardVersion::kV30, EVCardVersion::kV40}) {
        const std::string text = CVCardWriter::Write(all, version);
        SCOPED_TRACE(text);
        std::vector<SVCard> again = ReadOk(text);
        ASSERT_EQ(again.size(), all.size());
        for (size_t i = 0; i < all.size(); ++i) {
            ASSERT_EQ(again[i].properties.size(), all[i].properties.size()) << "card " << i;
            for (size_t p = 0; p < all[i].properties.size(); ++p) {
                EXPECT_TRUE(again[i].properties[p].SameContent(all[i].properties[p]))
                    << "card " << i << ", " << all[i].properties[p].name << " on line "
                    << again[i].properties[p].line;
            }
        }
        // Lines of CR LF, at most 75 octets, none a broken UTF-8 sequence.
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = text.find("\r\n", start);
            ASSERT_NE(end, std::string::npos) << "the text ends with a line end";
            const std::string line = text.substr(start, end - start);
            EXPECT_LE(line.size(), CVCardWriter::kLineOctets) << line;
            EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
            EXPECT_TRUE(CCharsetDecoder::IsUtf8(line)) << line;
            start = end + 2;
        }
    }
}

}  // namespace
}  // namespace orvex::test
