// The dBASE reader on real tables and on headers that lie.
#include <gtest/gtest.h>

#include <cstring>

#include "ImportFixtures.h"
#include "importers/ReadDBF.h"

namespace {

TEST(Dbf, ReadsColumnsAndRecordsOfRealTables) {
    // dbfread's table has a deleted record between Bob and the end byte.
    const std::string People = ReadBytes(TestData("dbfread/people.dbf"));
    TDBF T(People);
    ASSERT_EQ(T.FieldCount(), 2);
    EXPECT_EQ(T.FieldName(0), "NAME");
    EXPECT_EQ(T.FieldName(1), "BIRTHDATE");
    std::vector<std::string> Names;
    while (T.Next()) Names.push_back(T.FieldValue(0) + "/" + T.FieldValue(1));
    EXPECT_EQ(Names, (std::vector<std::string>{"Alice/19870301", "Bob/19801112"}));
    // In file order the deleted record is there, marked.
    T.First();
    int Deleted = 0, All = 0;
    while (T.NextRecord()) {
        ++All;
        if (T.Deleted()) {
            ++Deleted;
            EXPECT_EQ(T.FieldValue(0), "Deleted Guy");
        }
    }
    EXPECT_EQ(All, 3);
    EXPECT_EQ(Deleted, 1);

    // Three fields of 24 (pop_est) and 80 bytes: offsets follow the deletion flag.
    const std::string World = ReadBytes(TestData("naturalearth/naturalearth_lowres.dbf"));
    TDBF W(World);
    EXPECT_EQ(W.FieldCount(), 5);
    EXPECT_EQ(W.FieldOffset(0), 1);
    EXPECT_EQ(W.FieldOffset(1), 25);
    EXPECT_EQ(W.FieldOffset(2), 105);
    EXPECT_EQ(W.RecordCount(), 177u);
    ASSERT_TRUE(W.Next());
    EXPECT_EQ(W.FieldValue(2), "Fiji");
}

TEST(Dbf, FieldsAreTrimmedCutAtNulAndNamedInElevenBytes) {
    std::string D = MakeDbf({{"ABCDEFGHIJK", 20}, {"B", 4}, {"C", 8}}, {{"  Berlin", "x", "12"}, {"*gone"}}, 131);
    // A NUL inside the last field cuts it.
    D[D.size() - 1 - 2 * 33 + 1 + 20 + 4 + 1] = '\0';
    TDBF T(D);
    EXPECT_EQ(T.FieldName(0), "ABCDEFGHIJK");
    EXPECT_EQ(T.FieldOffset(1), 21);
    EXPECT_EQ(T.FieldOffset(2), 25);
    EXPECT_EQ(T.RecordLength(), 33);
    ASSERT_TRUE(T.Next());
    EXPECT_EQ(T.FieldValue(0), "Berlin");
    EXPECT_EQ(T.FieldValue(2), "1");
    EXPECT_FALSE(T.Next()) << "the only other record is deleted";
    EXPECT_THROW(T.FieldValue(3), EDBFException);
}

TEST(Dbf, HeadersThatLieFailWithAClearMessage) {
    auto WithLengths = [](std::string D, uint16_t Header, uint16_t Record) {
        std::memcpy(&D[8], &Header, 2);
        std::memcpy(&D[10], &Record, 2);
        return D;
    };
    const std::string Good = MakeDbf({{"A", 10}}, {{"x"}});
    struct Row {
        const char* Name;
        std::string Bytes;
        const char* Error;  // null: reads
        int32_t Fields;
    };
    std::string Version4 = Good;
    Version4[0] = 4;
    std::string Wide = WithLengths(MakeDbf({{"A", 255}}, {}), 65, 40000);  // longer than any int16
    Wide.resize(65 + 40000, 'w');
    Wide[65] = ' ';  // not deleted, and not the end byte
    const Row Rows[] = {
        {"version 4", Version4, "Unsupported DBase III version in Stream", 0},
        {"empty", "", "Unsupported DBase III version in Stream", 0},
        {"20 header bytes", Good.substr(0, 20), "cut short", 0},
        {"header length 20", WithLengths(Good, 20, 11), "below 32", 0},
        {"header past the end", WithLengths(Good, 4000, 11), "passes the end of the file", 0},
        {"record shorter than its fields", WithLengths(Good, 65, 5), "shorter than its fields", 0},
        {"record length 0", WithLengths(Good, 65, 0), "shorter than its fields", 0},
        {"33-byte header has no fields", ReadBytes(TestData("shapetcl/misc/empty.dbf")), nullptr, 0},
        {"record of 40000 bytes", Wide, nullptr, 1},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        if (R.Error) {
            try {
                TDBF T(R.Bytes, "t.dbf");
                ADD_FAILURE() << "no error";
            } catch (const EDBFException& E) {
                EXPECT_NE(std::string(E.what()).find(R.Error), std::string::npos) << E.what();
                EXPECT_NE(std::string(E.what()).find("t.dbf"), std::string::npos) << E.what();
            }
        } else {
            TDBF T(R.Bytes);
            EXPECT_EQ(T.FieldCount(), R.Fields);
            while (T.Next()) EXPECT_EQ(T.FieldValue(0).size(), 255u);
        }
    }
    // Without a file name the message is the reader's own text.
    try {
        TDBF T(Version4);
    } catch (const EDBFException& E) {
        EXPECT_STREQ(E.what(), "Unsupported DBase III version in Stream");
    }
}

TEST(Dbf, EveryPrefixOfARealTableReadsOrFailsCleanly) {
    const std::string Nc = ReadBytes(TestData("sf/nc.dbf"));
    for (size_t Size = 0; Size < Nc.size(); Size += Size < 2000 ? 1 : 397) {
        const std::string Prefix = Nc.substr(0, Size);
        try {
            TDBF T(Prefix);
            int Records = 0;
            while (T.Next()) {
                ++Records;
                for (int32_t F = 0; F < T.FieldCount(); ++F) T.FieldValue(F);
            }
            EXPECT_LE(Records, 100);
        } catch (const EDBFException&) {
        }
    }
}

}  // namespace
