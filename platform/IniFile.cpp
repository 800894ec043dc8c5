#include "platform/IniFile.h"

#include <cstdio>
#include <optional>
#include <unordered_set>

#include "foundation/OrvexExceptions.h"
#include "platform/AtomicFile.h"
#include "platform/FilePaths.h"

namespace {

constexpr size_t MaxValueLength = 1023;

char Lower(char C) { return (C >= 'A' && C <= 'Z') ? char(C - 'A' + 'a') : C; }

std::string LowerCase(std::string S) {
    for (char& C : S) C = Lower(C);
    return S;
}

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

std::string Trim(const char* Begin, const char* End) {
    while (Begin < End && IsBlank(*Begin)) ++Begin;
    while (End > Begin && IsBlank(End[-1])) --End;
    return std::string(Begin, End);
}

std::string Trim(const std::string& S) { return Trim(S.data(), S.data() + S.size()); }

// A value must stay on its line; line breaks inside it would start new entries.
std::string OneLine(std::string S) {
    for (char& C : S)
        if (C == '\r' || C == '\n') C = ' ';
    return S;
}

// Decimal or 0x hexadecimal, optionally signed, with nothing else around it; hexadecimal
// takes the full 32 bits (0xFFFFFFFF is -1).
std::optional<int32_t> ParseInteger(const std::string& Text) {
    const std::string S = Trim(Text);
    size_t i = 0;
    bool Negative = false;
    if (i < S.size() && (S[i] == '+' || S[i] == '-')) Negative = S[i++] == '-';
    const bool Hex = S.size() - i > 2 && S[i] == '0' && (S[i + 1] == 'x' || S[i + 1] == 'X');
    if (Hex) i += 2;
    if (i >= S.size()) return std::nullopt;
    uint64_t V = 0;
    for (; i < S.size(); ++i) {
        const char C = Lower(S[i]);
        int D;
        if (C >= '0' && C <= '9') D = C - '0';
        else if (Hex && C >= 'a' && C <= 'f') D = C - 'a' + 10;
        else return std::nullopt;
        V = V * (Hex ? 16 : 10) + uint64_t(D);
        if (V > 0xFFFFFFFFull) return std::nullopt;
    }
    int64_t R;
    if (Hex) {
        R = int64_t(int32_t(uint32_t(V)));
    } else {
        if (V > (Negative ? 0x80000000ull : 0x7FFFFFFFull)) return std::nullopt;
        R = int64_t(V);
    }
    return int32_t(Negative ? -R : R);
}

}  // namespace

TIniFile::TIniFile(std::string FileName) : FFileName(std::move(FileName)) { Load(); }

void TIniFile::Load() {
    FSections.clear();
    FILE* F = std::fopen(FFileName.c_str(), "rb");
    if (!F) return;
    std::string Data;
    char Buf[65536];
    size_t N;
    while ((N = std::fread(Buf, 1, sizeof Buf, F)) > 0) Data.append(Buf, N);
    std::fclose(F);

    size_t Pos = 0;
    if (Data.compare(0, 3, "\xEF\xBB\xBF") == 0) Pos = 3;
    TSection* Current = nullptr;
    while (Pos < Data.size()) {
        size_t End = Data.find('\n', Pos);
        if (End == std::string::npos) End = Data.size();
        const char* B = Data.data() + Pos;
        const char* E = Data.data() + End;
        Pos = End + 1;
        if (E > B && E[-1] == '\r') --E;
        const std::string Line = Trim(B, E);
        if (Line.empty()) continue;  // blank lines are not kept; the writer adds its own
        if (Line[0] == '[') {
            // An unclosed header names the section up to the end of the line.
            const size_t Close = Line.find(']');
            const size_t Length = Close == std::string::npos ? std::string::npos : Close - 1;
            FSections.push_back({Trim(Line.substr(1, Length)), {}, false});
            Current = &FSections.back();
            continue;
        }
        if (!Current) {
            FSections.push_back({std::string(), {}, true});
            Current = &FSections.back();
        }
        const size_t Eq = Line.find('=');
        if (Line[0] == ';' || Eq == std::string::npos || Eq == 0 || Current->Preamble) {
            Current->Entries.push_back({Line, std::string(), true});
            continue;
        }
        Current->Entries.push_back({Trim(Line.substr(0, Eq)), Trim(Line.substr(Eq + 1)), false});
    }
}

void TIniFile::Save() const {
    std::string Out;
    for (const TSection& S : FSections) {
        if (!S.Preamble) {
            if (!Out.empty()) Out += '\n';
            Out += '[';
            Out += S.Name;
            Out += "]\n";
        }
        for (const TEntry& E : S.Entries) {
            Out += E.Key;
            if (!E.Raw) {
                Out += '=';
                Out += E.Value;
            }
            Out += '\n';
        }
    }

    TAtomicFile File(FFileName);
    if (!File.Write(Out.data(), Out.size()) || !File.Commit())
        throw EOrvexException(Format("Cannot write the file %s: %s", FFileName.c_str(), File.Error().c_str()));
}

// Applies Change and saves; when the save fails, the profile in memory is left as it was.
template <class F>
void TIniFile::Modify(F&& Change) {
    if (FUpdateDepth > 0) {
        if (Change()) FUpdateChanged = true;
        return;
    }
    std::vector<TSection> Before = FSections;
    if (!Change()) return;
    try {
        Save();
    } catch (...) {
        FSections = std::move(Before);
        throw;
    }
}

void TIniFile::BeginUpdate() {
    if (FUpdateDepth++ > 0) return;
    FBeforeUpdate = FSections;
    FUpdateChanged = false;
}

void TIniFile::EndUpdate() {
    if (FUpdateDepth == 0 || --FUpdateDepth > 0) return;
    const bool Changed = FUpdateChanged;
    FUpdateChanged = false;
    std::vector<TSection> Before = std::move(FBeforeUpdate);
    FBeforeUpdate.clear();
    if (!Changed) return;
    try {
        Save();
    } catch (...) {
        FSections = std::move(Before);
        throw;
    }
}

void TIniFile::CancelUpdate() {
    if (FUpdateDepth == 0) return;
    FUpdateDepth = 0;
    FSections = std::move(FBeforeUpdate);
    FBeforeUpdate.clear();
    FUpdateChanged = false;
}

const TIniFile::TSection* TIniFile::Find(const std::string& Section) const {
    for (const TSection& S : FSections)
        if (!S.Preamble && SameText(S.Name, Section)) return &S;
    return nullptr;
}

TIniFile::TSection& TIniFile::FindOrAdd(const std::string& Section) {
    if (const TSection* S = Find(Section)) return const_cast<TSection&>(*S);
    FSections.push_back({OneLine(Section), {}, false});
    return FSections.back();
}

const TIniFile::TEntry* TIniFile::FindEntry(const TSection& Section, const std::string& Key) const {
    for (const TEntry& E : Section.Entries)
        if (!E.Raw && SameText(E.Key, Key)) return &E;
    return nullptr;
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Key,
                                 const std::string& Default) const {
    const TSection* S = Find(Section);
    const TEntry* E = S ? FindEntry(*S, Key) : nullptr;
    if (!E) return Default.substr(0, MaxValueLength);
    return E->Value.substr(0, MaxValueLength);
}

int32_t TIniFile::ReadInteger(const std::string& Section, const std::string& Key, int32_t Default) const {
    const TSection* S = Find(Section);
    const TEntry* E = S ? FindEntry(*S, Key) : nullptr;
    if (!E) return Default;
    return ParseInteger(E->Value.substr(0, MaxValueLength)).value_or(Default);
}

bool TIniFile::ReadBool(const std::string& Section, const std::string& Key, bool Default) const {
    const TSection* S = Find(Section);
    const TEntry* E = S ? FindEntry(*S, Key) : nullptr;
    if (!E) return Default;
    const std::optional<int32_t> V = ParseInteger(E->Value.substr(0, MaxValueLength));
    return V ? *V != 0 : Default;
}

void TIniFile::WriteString(const std::string& Section, const std::string& Key, const std::string& Value) {
    const std::string K = Trim(OneLine(Key));
    const std::string V = Trim(OneLine(Value));
    Modify([&] {
        TSection& S = FindOrAdd(Section);
        if (const TEntry* E = FindEntry(S, K)) {
            if (E->Value == V) return false;
            const_cast<TEntry*>(E)->Value = V;
            return true;
        }
        S.Entries.push_back({K, V, false});
        return true;
    });
}

void TIniFile::WriteInteger(const std::string& Section, const std::string& Key, int32_t Value) {
    WriteString(Section, Key, std::to_string(Value));
}

void TIniFile::WriteBool(const std::string& Section, const std::string& Key, bool Value) {
    WriteString(Section, Key, Value ? "1" : "0");
}

void TIniFile::EraseSection(const std::string& Section) {
    Modify([&] {
        bool Found = false;
        for (size_t i = FSections.size(); i-- > 0;)
            if (!FSections[i].Preamble && SameText(FSections[i].Name, Section)) {
                FSections.erase(FSections.begin() + std::ptrdiff_t(i));
                Found = true;
            }
        return Found;
    });
}

void TIniFile::DeleteKey(const std::string& Section, const std::string& Key) {
    Modify([&] {
        bool Found = false;
        for (TSection& S : FSections) {
            if (S.Preamble || !SameText(S.Name, Section)) continue;
            for (size_t i = S.Entries.size(); i-- > 0;)
                if (!S.Entries[i].Raw && SameText(S.Entries[i].Key, Key)) {
                    S.Entries.erase(S.Entries.begin() + std::ptrdiff_t(i));
                    Found = true;
                }
        }
        return Found;
    });
}

bool TIniFile::SectionExists(const std::string& Section) const { return Find(Section) != nullptr; }

bool TIniFile::ValueExists(const std::string& Section, const std::string& Key) const {
    const TSection* S = Find(Section);
    return S && FindEntry(*S, Key);
}

std::vector<std::string> TIniFile::ReadSections() const {
    std::vector<std::string> Names;
    std::unordered_set<std::string> Seen;
    for (const TSection& S : FSections)
        if (!S.Preamble && Seen.insert(LowerCase(S.Name)).second) Names.push_back(S.Name);
    return Names;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& Section) const {
    std::vector<std::string> Keys;
    const TSection* S = Find(Section);
    if (!S) return Keys;
    std::unordered_set<std::string> Seen;
    for (const TEntry& E : S->Entries)
        if (!E.Raw && Seen.insert(LowerCase(E.Key)).second) Keys.push_back(E.Key);
    return Keys;
}
