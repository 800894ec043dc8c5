#include "editor/RecentFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>

#include "platform/Text.h"

namespace {
std::string& StorageOverride() {
    static std::string Path;
    return Path;
}

const char* KeyOf(TRecentFiles::TKind Kind) { return Kind == TRecentFiles::rfLayer ? "LayerFiles" : "Profiles"; }


void Store(TRecentFiles::TKind Kind, const std::vector<std::string>& Files) {
    QStringList List;
    for (const std::string& F : Files) List << PathToQString(F);
    QSettings S(PathToQString(TRecentFiles::StorageFile()), QSettings::IniFormat);
    S.setValue(KeyOf(Kind), List);
    S.sync();
}
}  // namespace

std::string TRecentFiles::StorageFile() {
    if (!StorageOverride().empty()) return StorageOverride();
    return PathFromQString(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + "/recent-files.ini");
}

QVariant RememberedSetting(const QString& Key, const QVariant& Default) {
    const QSettings S(PathToQString(TRecentFiles::StorageFile()), QSettings::IniFormat);
    return S.value(Key, Default);
}

void RememberSetting(const QString& Key, const QVariant& Value) {
    QSettings S(PathToQString(TRecentFiles::StorageFile()), QSettings::IniFormat);
    S.setValue(Key, Value);
    S.sync();
}

void TRecentFiles::SetStorageFile(const std::string& Path) { StorageOverride() = Path; }

std::vector<std::string> TRecentFiles::Files(TKind Kind) {
    const QSettings S(PathToQString(StorageFile()), QSettings::IniFormat);
    std::vector<std::string> Result;
    // A list edited by hand may hold anything: blanks and repeats are left out.
    for (const QString& F : S.value(KeyOf(Kind)).toStringList()) {
        const std::string Path = PathFromQString(F);
        if (!Path.empty() && std::find(Result.begin(), Result.end(), Path) == Result.end()) Result.push_back(Path);
        if (static_cast<int>(Result.size()) == kMaxEntries) break;
    }
    return Result;
}

void TRecentFiles::Add(TKind Kind, const std::string& Path) {
    if (Path.empty()) return;
    const std::string Absolute = PathFromQString(QFileInfo(PathToQString(Path)).absoluteFilePath());
    std::vector<std::string> List = Files(Kind);
    List.erase(std::remove(List.begin(), List.end(), Absolute), List.end());
    List.insert(List.begin(), Absolute);
    if (static_cast<int>(List.size()) > kMaxEntries) List.resize(kMaxEntries);
    Store(Kind, List);
}

void TRecentFiles::Remove(TKind Kind, const std::string& Path) {
    std::vector<std::string> List = Files(Kind);
    const auto End = std::remove(List.begin(), List.end(), Path);
    if (End == List.end()) return;
    List.erase(End, List.end());
    Store(Kind, List);
}
