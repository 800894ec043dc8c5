#pragma once
// The layer files and profiles the user opened or saved last, newest first, kept in the
// user's configuration folder so that the next run offers them again.

#include <QString>
#include <QVariant>
#include <string>
#include <vector>

class TRecentFiles {
public:
    enum TKind { rfLayer, rfProfile };
    static constexpr int kMaxEntries = 10;

    // Where the lists are kept: the file set by SetStorageFile, else a file in the user's
    // configuration folder (QStandardPaths::AppConfigLocation).
    static std::string StorageFile();
    // Tests keep their lists in a folder of their own; empty returns to the default.
    static void SetStorageFile(const std::string& Path);

    // The list as stored now: another running editor may have changed it.
    static std::vector<std::string> Files(TKind Kind);
    // Path (made absolute) moves to the front of its list; the list keeps kMaxEntries.
    static void Add(TKind Kind, const std::string& Path);
    static void Remove(TKind Kind, const std::string& Path);
};

// What else the editor remembers between runs (the window's geometry, the last folder, the
// coordinate style), kept in the same file as the recent files. Null when never stored.
QVariant RememberedSetting(const QString& Key, const QVariant& Default = {});
void RememberSetting(const QString& Key, const QVariant& Value);
