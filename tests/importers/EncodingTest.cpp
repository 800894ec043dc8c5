// Character sets of attribute tables: the names people write in .cpg files, the dBASE
// language-driver byte, and the user's choice in the dialog, each turned into UTF-8 titles.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "ImportFixtures.h"
#include "importers/ImportSupport.h"
#include "importers/SHP2Orvex.h"
#include "importers/TextEncoding.h"
#include "importers/TfrmSHPImport.h"

namespace {

// "Москва" in three code pages, "Straße €" and "Łódź" in two more.
const std::string kMoscow866 = "\x8C\xAE\xE1\xAA\xA2\xA0";
const std::string kMoscow1251 = "\xCC\xEE\xF1\xEA\xE2\xE0";
const std::string kMoscowKoi8 = "\xED\xCF\xD3\xCB\xD7\xC1";
const std::string kMoscow = "Москва";
const std::string kStrasse1252 = "Stra\xDF" "e \x80";
const std::string kLodz1250 = "\xA3\xF3\x64\x9F";

TEST(TextEncoding, NamesAsPeopleWriteThem) {
    const std::pair<const char*, const char*> Cases[] = {
        {"UTF-8", "UTF-8"},         {"utf8", "UTF-8"},           {" UTF_8\r\n", "UTF-8"},
        {"1252", "CP1252"},         {"CP1252", "CP1252"},        {"ANSI 1252", "CP1252"},
        {"windows-1251", "CP1251"}, {"Windows 1250", "CP1250"},  {"OEM 866", "CP866"},
        {"ibm437", "CP437"},        {"ISO-8859-2", "ISO-8859-2"}, {"88591", "ISO-8859-1"},
        {"ISO 8859-15", "ISO-8859-15"}, {"latin1", "ISO-8859-1"}, {"KOI8-R", "KOI8-R"},
        {"cp850", "CP850"},         {"ANSI", "CP1252"},          {"Big5", "Big5"},
        {"", ""},
    };
    for (const auto& [Name, Expected] : Cases) {
        const auto E = TTextEncoding::Find(Name);
        ASSERT_TRUE(E) << Name;
        EXPECT_EQ(E->Name(), Expected) << Name;
    }
    for (const char* Unknown : {"EBCDIC", "CP1", "ISO-8859-12", "8859", "UTF-9", "CP99999999999"})
        EXPECT_FALSE(TTextEncoding::Find(Unknown)) << Unknown;
}

TEST(TextEncoding, DecodesEveryByteToValidUtf8) {
    const std::tuple<const char*, std::string, std::string> Cases[] = {
        {"CP866", kMoscow866, kMoscow},   {"CP1251", kMoscow1251, kMoscow},       {"KOI8-R", kMoscowKoi8, kMoscow},
        {"CP1250", kLodz1250, "Łódź"},    {"CP1252", kStrasse1252, "Straße €"}, {"UTF-8", kMoscow, kMoscow},
    };
    for (const auto& [Name, Bytes, Text] : Cases) EXPECT_EQ(TTextEncoding::Find(Name)->ToUtf8(Bytes), Text) << Name;
    // Every byte of every offered set gives well-formed UTF-8 (a cut UTF-8 sequence included).
    std::string All;
    for (int B = 1; B < 256; ++B) All += static_cast<char>(B);
    for (const char* const* Name = TTextEncoding::CommonNames(); *Name; ++Name) {
        const std::string Text = TTextEncoding::Find(*Name)->ToUtf8(All);
        EXPECT_EQ(QString::fromUtf8(Text.data(), qsizetype(Text.size())).toUtf8().toStdString(), Text) << *Name;
    }
    EXPECT_EQ(TTextEncoding::Find("UTF-8")->ToUtf8("ab\xD0"), "ab\xEF\xBF\xBD");
    // The raw reading keeps the bytes, as tables without a character set always were read.
    EXPECT_EQ(TTextEncoding().ToUtf8(kStrasse1252), kStrasse1252);
}

TEST(TextEncoding, LanguageDriverIds) {
    const std::pair<uint8_t, const char*> Cases[] = {
        {0x00, ""},      {0x01, "CP437"},  {0x02, "CP850"},  {0x03, "CP1252"}, {0x26, "CP866"},
        {0x57, "CP1252"}, {0x65, "CP866"}, {0xC8, "CP1250"}, {0xC9, "CP1251"}, {0x64, "CP852"},
        {0x4D, "GBK"},   {0x68, ""},       {0xFF, ""},
    };
    for (const auto& [Id, Name] : Cases) EXPECT_EQ(TTextEncoding::ForLanguageDriver(Id).Name(), Name) << int(Id);
}

class ShpEncoding : public ImportTest {
protected:
    // points.shp with one point per title, its table's header byte 29 set to Driver, and a .cpg
    // holding Cpg unless that is null.
    std::string WriteSet(const std::vector<std::string>& Titles, uint8_t Driver, const char* Cpg) {
        TShpBuilder B;
        std::vector<std::vector<std::string>> Rows;
        for (const std::string& T : Titles) {
            B.Point(10, 20);
            Rows.push_back({T});
        }
        std::string Dbf = MakeDbf({{"NAME", 20}}, Rows);
        Dbf[29] = static_cast<char>(Driver);
        Write("points.dbf", Dbf);
        if (Cpg) Write("points.cpg", Cpg);
        return Write("points.shp", B.Bytes());
    }
    std::string ImportedTitle(const std::string& Path, const std::string& Encoding = {}) {
        TSHPImportPresetOptions Options;
        Options.Encoding = Encoding;
        ImportSHP({Path}, View, &Options);
        return Object(0)->Title();
    }
};

TEST_F(ShpEncoding, CpgThenHeaderByteThenRawBytesAndTheUsersChoiceOverAll) {
    struct TCase {
        std::string Bytes;
        uint8_t Driver;
        const char* Cpg;
        std::string Chosen;
        std::string Title;
    };
    const TCase Cases[] = {
        {kStrasse1252, 0x00, "1252\n", "", "Straße €"},       // .cpg alone
        {kMoscow866, 0x26, nullptr, "", kMoscow},             // header byte alone
        {kMoscow866, 0x65, nullptr, "", kMoscow},
        {kMoscow1251, 0xC9, nullptr, "", kMoscow},
        {kMoscow1251, 0x26, "ANSI 1251", "", kMoscow},        // .cpg over the header
        {kMoscowKoi8, 0x26, "CP1252", "KOI8-R", kMoscow},     // the choice over both
        {kStrasse1252, 0x00, nullptr, "", kStrasse1252},      // neither: the bytes as ever
        {kMoscow866, 0x26, "no such set", "", kMoscow},       // unknown .cpg: the header
        {kMoscow, 0x57, "UTF-8", "", kMoscow},
    };
    for (const TCase& C : Cases) {
        QFile::remove(QString::fromStdString(File("points.cpg")));
        const std::string Path = WriteSet({C.Bytes}, C.Driver, C.Cpg);
        EXPECT_EQ(ImportedTitle(Path, C.Chosen), C.Title) << "driver " << int(C.Driver) << " cpg " << (C.Cpg ? C.Cpg : "-");
    }
    EXPECT_TRUE(Reported(0, File("points.cpg") + " names the unknown encoding 'no such set'; the table's header is "
                                                 "used instead"));
}

TEST_F(ShpEncoding, UnknownChoiceFailsNamingIt) {
    const std::string Path = WriteSet({kMoscow866}, 0x26, nullptr);
    TSHPImportPresetOptions Options;
    Options.Encoding = "CP4711";
    try {
        ImportSHP({Path}, View, &Options);
        FAIL() << "imported with an unknown encoding";
    } catch (const EImportError& E) {
        EXPECT_NE(std::string(E.what()).find("unknown encoding 'CP4711'"), std::string::npos) << E.what();
    }
    EXPECT_EQ(View.LayerCount(), 0);
}

TEST_F(ShpEncoding, DialogEncodingChoiceOverridesTheHeader) {
    // Column names are decoded as well: the table's one column is "ИМЯ" in code page 866.
    TShpBuilder B;
    B.Point(10, 20);
    std::string Dbf = MakeDbf({{"\x88\x8C\x9F", 20}}, {{kMoscowKoi8}});
    Dbf[29] = 0x26;
    Write("points.dbf", Dbf);
    const std::string Path = Write("points.shp", B.Bytes());
    Ui.OnDialog = [&](QDialog& D) {
        auto* F = dynamic_cast<TfrmSHPImport*>(&D);
        ASSERT_NE(F, nullptr);
        F->show();
        EXPECT_EQ(F->cbxEncoding->currentText(), "Automatic");
        EXPECT_EQ(F->lbxColumns->item(0)->text(), QString("ИМЯ"));
        F->cbxEncoding->setCurrentIndex(F->cbxEncoding->findText("KOI8-R"));
        QTest::mouseClick(F->lbxColumns->viewport(), Qt::LeftButton, {},
                          F->lbxColumns->visualItemRect(F->lbxColumns->item(0)).center());
        QTest::mouseClick(F->btnImport, Qt::LeftButton);
    };
    ImportSHP({Path}, View);
    ASSERT_EQ(View.LayerCount(), 1);
    EXPECT_EQ(Object(0)->Title(), kMoscow);
}

}  // namespace
