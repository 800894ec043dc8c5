#include "TestLocale.h"

#include <QProcess>
#include <QStandardPaths>
#include <QUuid>
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <filesystem>

namespace {

// The compiled locale in the build tree, made when it is not there yet. Test programs run in
// parallel: each builds into a folder of its own and renames it into place; the first wins.
std::string BuildLocale(const std::string& Name, const std::string& Program) {
    const std::filesystem::path Root = ORVEX_TEST_LOCALE_DIR;
    const std::filesystem::path Target = Root / Name;
    std::error_code Ec;
    if (std::filesystem::exists(Target / "LC_NUMERIC", Ec)) return {};
    const size_t Dot = Name.find('.');
    if (Dot == std::string::npos) return "a locale name needs a character set: " + Name;
    const std::filesystem::path Scratch = Root / (".building-" + QUuid::createUuid().toString(QUuid::Id128).toStdString());
    std::filesystem::create_directories(Scratch, Ec);
    QProcess P;
    P.setProcessChannelMode(QProcess::MergedChannels);
    // -c: warnings about the locale's sources do not stop the output.
    P.start(QString::fromStdString(Program),
            {"-c", "-i", QString::fromStdString(Name.substr(0, Dot)), "-f",
             QString::fromStdString(Name.substr(Dot + 1)), QString::fromStdString((Scratch / Name).string())});
    const bool Ran = P.waitForFinished(120000);
    const std::string Output = P.readAll().toStdString();
    if (std::filesystem::exists(Scratch / Name / "LC_NUMERIC", Ec)) std::filesystem::rename(Scratch / Name, Target, Ec);
    std::filesystem::remove_all(Scratch, Ec);
    if (std::filesystem::exists(Target / "LC_NUMERIC", Ec)) return {};
    return "localedef could not build " + Name + (Ran ? "" : " (it did not finish)") + ": " + Output;
}

}  // namespace

TTestLocale::TTestLocale(const std::string& Name) {
    const QString Program = QStandardPaths::findExecutable("localedef");
    if (Program.isEmpty()) {
        FMissing = true;
        FProblem = "localedef is not installed, so " + Name + " cannot be built; install libc-bin and locales";
        return;
    }
    FProblem = BuildLocale(Name, Program.toStdString());
    if (!FProblem.empty()) return;
    FOldLocale = std::setlocale(LC_ALL, nullptr);
    if (const char* Old = std::getenv("LOCPATH")) {
        FHadLocPath = true;
        FOldLocPath = Old;
    }
    setenv("LOCPATH", ORVEX_TEST_LOCALE_DIR, 1);
    if (!std::setlocale(LC_ALL, Name.c_str())) {
        FProblem = "the C library does not take the locale " + Name;
        return;
    }
    if (std::string(std::localeconv()->decimal_point) != ",") {
        FProblem = Name + " does not write ',' before decimals";
        return;
    }
    FActive = true;
}

TTestLocale::~TTestLocale() {
    if (FOldLocale.empty()) return;
    std::setlocale(LC_ALL, FOldLocale.c_str());
    if (FHadLocPath)
        setenv("LOCPATH", FOldLocPath.c_str(), 1);
    else
        unsetenv("LOCPATH");
}

std::string LocaleTestName(const ::testing::TestParamInfo<const char*>& Info) {
    std::string Name = Info.param;
    for (char& C : Name)
        if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
    return Name;
}
