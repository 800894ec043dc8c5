#pragma once
// A small forward-only reader of dBASE III tables: the column names, and record by record the
// text of a column. It reads from bytes in memory that the caller owns and keeps alive.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class EDBFException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TDBF {
public:
    // Reads the header and the field descriptors and stands before the first record. Raises
    // EDBFException "Unsupported DBase III version in Stream" for a version byte other than 3 or
    // 131, and for a header or lengths that do not fit the data. FileName, when given, is added
    // to the messages.
    explicit TDBF(std::string_view Data, std::string FileName = {});

    // Back before the first record; true (the data is always attached).
    bool First();
    // The next record that is not deleted; false at the end of the data.
    bool Next();
    // The next record in file order, deleted or not; false at the end of the data.
    bool NextRecord();
    // Whether the current record is marked deleted ("*").
    bool Deleted() const;

    // The name up to its first NUL byte (at most 11 characters).
    std::string FieldName(int32_t Index) const;
    // The field's bytes in the current record, cut at the first NUL, blanks and control
    // characters trimmed off both ends; empty without a current record.
    std::string FieldValue(int32_t Index) const;
    int32_t FieldCount() const { return static_cast<int32_t>(FFields.size()); }
    // As the header states it; reading does not rely on it.
    uint32_t RecordCount() const { return FRecordCount; }
    uint16_t HeaderLength() const { return FHeaderLength; }
    uint16_t RecordLength() const { return FRecordLength; }
    // Header byte 29: the code page the table was written in, as a dBASE language-driver ID
    // (0 when the writer did not say).
    uint8_t LanguageDriver() const { return static_cast<uint8_t>(FData[29]); }
    // Where the field starts inside a record (1 for the first: byte 0 is the deletion flag).
    int32_t FieldOffset(int32_t Index) const;
    int32_t FieldLength(int32_t Index) const;

private:
    struct TField {
        std::string Name;
        uint32_t Offset;
        uint8_t Length;
    };

    [[noreturn]] void Fail(const std::string& Message) const;
    const TField& Field(int32_t Index) const;

    std::string_view FData;
    std::string FFileName;
    uint32_t FRecordCount = 0;
    uint16_t FHeaderLength = 0;
    uint16_t FRecordLength = 0;
    std::vector<TField> FFields;
    size_t FPosition = 0;
    std::string_view FRecord;  // the current record, a view into the data
};
