// Every input the fuzzers kept and every file of the test data, through its reader with the
// fuzz targets' own entries: each loads or ends in the reader's own exception, with no crash
// and no sanitizer report. A change that breaks a reader on an input it once survived fails
// here, on any machine.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <typeinfo>
#include <vector>

#include "fuzz/Readers.h"
#include "platform/UiServices.h"

namespace {

struct TReader {
    const char* Name;  // of the fuzz target and its corpus folder
    bool (*Bytes)(TOrvex3&, const std::string&, const uint8_t*, size_t);
    bool (*File)(TOrvex3&, const std::string&);  // null: a file's bytes go to Bytes
    std::set<QString> Suffixes;                  // of the test data's files it reads, lower case
};

const TReader kReaders[] = {
    {"shp", FuzzReaders::Shp, FuzzReaders::ReadShp, {"shp"}},
    {"dbf", FuzzReaders::Dbf, nullptr, {"dbf"}},
    {"mif", FuzzReaders::Mif, FuzzReaders::ReadMif, {"mif"}},
    {"e00", FuzzReaders::E00, FuzzReaders::ReadE00, {"e00"}},
    {"layer", FuzzReaders::Layer, nullptr, {"lyr"}},
    {"ini", FuzzReaders::Profile, FuzzReaders::ReadProfile, {"prf", "ini"}},
    {"bitmap", FuzzReaders::Bitmap, FuzzReaders::ReadBitmap, {"bmp"}},
};

// Test names and failures name the reader, not its bytes.
void PrintTo(const TReader& R, std::ostream* Out) { *Out << R.Name; }

// Files of the test data that travel with a reader's file or are no data at all.
const std::set<QString> kCompanions = {"shx", "prj", "cpg", "mid", "md", "gitattributes"};

std::vector<std::string> FilesUnder(const QString& Folder, const std::set<QString>* Suffixes) {
    std::vector<std::string> Files;
    QDirIterator It(Folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (It.hasNext()) {
        const QFileInfo Info(It.next());
        if (!Suffixes || Suffixes->count(Info.suffix().toLower())) Files.push_back(Info.filePath().toStdString());
    }
    std::sort(Files.begin(), Files.end());
    return Files;
}

std::string Bytes(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
}

const QString kTestData = ORVEX_SOURCE_DIR "/tests/data";

class Replay : public ::testing::TestWithParam<TReader> {};

TEST_P(Replay, EveryKeptInputLoadsOrFailsCleanly) {
    const TReader& R = GetParam();
    const std::vector<std::string> Corpus = FilesUnder(ORVEX_SOURCE_DIR "/fuzz/corpus/" + QString(R.Name), nullptr);
    ASSERT_FALSE(Corpus.empty()) << "no corpus for " << R.Name;
    QTemporaryDir Scratch;
    ASSERT_TRUE(Scratch.isValid());
    const std::string Folder = Scratch.path().toStdString();
    TScriptedUiServices Ui;
    TUiServicesScope Scope(Ui);
    TOrvex3 View;

    int Loaded = 0;
    auto Run = [&](const std::string& Path, bool AsFile) {
        Ui.Messages.clear();
        View.Clear();
        try {
            if (AsFile && R.File) {
                Loaded += R.File(View, Path);
            } else {
                const std::string B = Bytes(Path);
                Loaded += R.Bytes(View, Folder, reinterpret_cast<const uint8_t*>(B.data()), B.size());
            }
        } catch (const std::exception& E) {
            ADD_FAILURE() << Path << ": " << typeid(E).name() << ": " << E.what();
        } catch (...) {
            ADD_FAILURE() << Path << ": an exception of an unknown type";
        }
    };
    for (const std::string& Path : Corpus) Run(Path, false);
    for (const std::string& Path : FilesUnder(kTestData, &R.Suffixes)) Run(Path, true);
    EXPECT_GT(Loaded, 0) << "no input loaded: the replay does not reach the reader";
}

INSTANTIATE_TEST_SUITE_P(Readers, Replay, ::testing::ValuesIn(kReaders),
                         [](const ::testing::TestParamInfo<TReader>& Info) { return std::string(Info.param.Name); });

// A test data file of a new kind would otherwise be left out of the replay unseen.
TEST(ReplayCoverage, EveryTestDataFileIsReadOrTravelsWithOne) {
    std::set<QString> Known = kCompanions;
    for (const TReader& R : kReaders) Known.insert(R.Suffixes.begin(), R.Suffixes.end());
    for (const std::string& Path : FilesUnder(kTestData, nullptr))
        EXPECT_TRUE(Known.count(QFileInfo(QString::fromStdString(Path)).suffix().toLower())) << Path;
}

}  // namespace
