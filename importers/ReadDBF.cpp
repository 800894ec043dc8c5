#include "importers/ReadDBF.h"

#include "foundation/OrvexExceptions.h"

namespace {

constexpr size_t kHeaderSize = 32;
constexpr size_t kDescriptorSize = 32;
constexpr size_t kNameSize = 11;
constexpr size_t kLengthByte = 16;
constexpr char kDescriptorsEnd = 0x0D;
constexpr char kEndOfData = 0x1A;

uint16_t LE16(std::string_view D, size_t At) {
    return static_cast<uint16_t>(static_cast<uint8_t>(D[At]) | static_cast<uint8_t>(D[At + 1]) << 8);
}

uint32_t LE32(std::string_view D, size_t At) {
    uint32_t V = 0;
    for (int I = 3; I >= 0; --I) V = V << 8 | static_cast<uint8_t>(D[At + static_cast<size_t>(I)]);
    return V;
}

std::string_view UpToNul(std::string_view Bytes) { return Bytes.substr(0, Bytes.find('\0')); }

}  // namespace

TDBF::TDBF(std::string_view Data, std::string FileName) : FData(Data), FFileName(std::move(FileName)) {
    if (FData.empty() || (FData[0] != 3 && static_cast<uint8_t>(FData[0]) != 131))
        Fail("Unsupported DBase III version in Stream");
    if (FData.size() < kHeaderSize) Fail(Format("the header is cut short (%zu bytes)", FData.size()));
    FRecordCount = LE32(FData, 4);
    // Both lengths are unsigned: records up to 65,535 bytes are valid.
    FHeaderLength = LE16(FData, 8);
    FRecordLength = LE16(FData, 10);
    if (FHeaderLength < kHeaderSize) Fail(Format("the header length %u is below 32", unsigned(FHeaderLength)));
    if (FHeaderLength > FData.size())
        Fail(Format("the header length %u passes the end of the file (%zu bytes)", unsigned(FHeaderLength),
                    FData.size()));

    // Descriptors are taken only where a whole one fits before the records: a 33-byte header
    // has none.
    uint32_t Offset = 1;
    for (size_t At = kHeaderSize; At + kDescriptorSize <= FHeaderLength; At += kDescriptorSize) {
        if (FData[At] == kDescriptorsEnd || FData[At] == '\0') break;
        const auto Length = static_cast<uint8_t>(FData[At + kLengthByte]);
        FFields.push_back(TField{std::string(UpToNul(FData.substr(At, kNameSize))), Offset, Length});
        Offset += Length;
    }
    if (Offset > FRecordLength)
        Fail(Format("the record length %u is shorter than its fields (%u bytes)", unsigned(FRecordLength),
                    unsigned(Offset)));
    First();
}

void TDBF::Fail(const std::string& Message) const {
    throw EDBFException(FFileName.empty() ? Message : Message + ": " + FFileName);
}

bool TDBF::First() {
    FPosition = FHeaderLength;
    FRecord = {};
    return true;
}

bool TDBF::NextRecord() {
    FRecord = {};
    // A short remainder (the end byte 1A after the last record, or a cut file) ends the data.
    if (FPosition >= FData.size() || FData.size() - FPosition < FRecordLength) return false;
    const std::string_view Record = FData.substr(FPosition, FRecordLength);
    if (Record[0] == kEndOfData) return false;
    FPosition += FRecordLength;
    FRecord = Record;
    return true;
}

bool TDBF::Next() {
    while (NextRecord())
        if (!Deleted()) return true;
    return false;
}

bool TDBF::Deleted() const { return !FRecord.empty() && FRecord[0] == '*'; }

const TDBF::TField& TDBF::Field(int32_t Index) const {
    if (Index < 0 || Index >= FieldCount())
        Fail(Format("field index %d out of range (the table has %d fields)", Index, FieldCount()));
    return FFields[static_cast<size_t>(Index)];
}

std::string TDBF::FieldName(int32_t Index) const { return Field(Index).Name; }

std::string TDBF::FieldValue(int32_t Index) const {
    const TField& F = Field(Index);
    if (FRecord.empty()) return {};
    std::string_view V = UpToNul(FRecord.substr(F.Offset, F.Length));
    size_t B = 0, E = V.size();
    while (B < E && static_cast<unsigned char>(V[B]) <= ' ') ++B;
    while (E > B && static_cast<unsigned char>(V[E - 1]) <= ' ') --E;
    return std::string(V.substr(B, E - B));
}

int32_t TDBF::FieldOffset(int32_t Index) const { return static_cast<int32_t>(Field(Index).Offset); }

int32_t TDBF::FieldLength(int32_t Index) const { return Field(Index).Length; }
