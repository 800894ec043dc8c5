#pragma once
// INI files with Windows profile semantics: sections and keys compare case-insensitively,
// file order is kept, values are text up to 1,023 characters with backslashes taken
// literally, Booleans are stored as 0/1. Every write is saved at once, by writing a
// temporary file beside the target and renaming it over, so a failed save leaves the old
// file intact.

#include <cstdint>
#include <string>
#include <vector>

class TIniFile {
public:
    // Reads FileName when it exists; a missing file is an empty profile.
    explicit TIniFile(std::string FileName);

    const std::string& FileName() const { return FFileName; }

    std::string ReadString(const std::string& Section, const std::string& Key, const std::string& Default) const;
    // Default when the key is missing or its value is not an integer.
    int32_t ReadInteger(const std::string& Section, const std::string& Key, int32_t Default) const;
    // Any non-zero integer reads as true.
    bool ReadBool(const std::string& Section, const std::string& Key, bool Default) const;

    // Raise EOrvexException when the file cannot be written.
    void WriteString(const std::string& Section, const std::string& Key, const std::string& Value);
    void WriteInteger(const std::string& Section, const std::string& Key, int32_t Value);
    void WriteBool(const std::string& Section, const std::string& Key, bool Value);
    void EraseSection(const std::string& Section);
    void DeleteKey(const std::string& Section, const std::string& Key);

    // Between BeginUpdate and EndUpdate changes stay in memory and EndUpdate saves them in
    // one go, so that a series of writes replaces the file whole or not at all. When that
    // save fails, the profile in memory returns to what it was at BeginUpdate and the error
    // is raised. CancelUpdate drops the changes unsaved. Updates nest; the outermost saves.
    void BeginUpdate();
    void EndUpdate();
    void CancelUpdate();
    // An update for the life of a scope: Commit saves; leaving without it cancels.
    class TUpdate {
    public:
        explicit TUpdate(TIniFile& Ini) : FIni(Ini) { FIni.BeginUpdate(); }
        ~TUpdate() {
            if (!FDone) FIni.CancelUpdate();
        }
        void Commit() {
            FDone = true;
            FIni.EndUpdate();
        }
        TUpdate(const TUpdate&) = delete;
        TUpdate& operator=(const TUpdate&) = delete;

    private:
        TIniFile& FIni;
        bool FDone = false;
    };

    bool SectionExists(const std::string& Section) const;
    bool ValueExists(const std::string& Section, const std::string& Key) const;
    std::vector<std::string> ReadSections() const;
    // The keys of Section in file order.
    std::vector<std::string> ReadSection(const std::string& Section) const;

private:
    struct TEntry {
        std::string Key;
        std::string Value;
        bool Raw = false;  // a comment or other non key=value line, kept verbatim in Key
    };
    struct TSection {
        std::string Name;
        std::vector<TEntry> Entries;
        bool Preamble = false;  // the lines before the first section header
    };
    const TEntry* FindEntry(const TSection& Section, const std::string& Key) const;
    template <class F>
    void Modify(F&& Change);
    const TSection* Find(const std::string& Section) const;
    TSection& FindOrAdd(const std::string& Section);
    void Load();
    void Save() const;

    std::string FFileName;
    std::vector<TSection> FSections;
    int32_t FUpdateDepth = 0;
    bool FUpdateChanged = false;
    std::vector<TSection> FBeforeUpdate;
};
