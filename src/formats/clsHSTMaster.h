// The master header of a history master file (*.HST): the HSTMasterRec at
// byte offset 0 (docs/file-formats.md, "Master header").  Public members,
// readable and assignable.
#pragma once

#include <cstdint>
#include <string>

namespace jw {

class BinaryFile;

class clsHSTMaster {
public:
    std::string Title;       // 128 bytes, full width as read
    std::string ID;          // 8
    std::int16_t FileType = 0;
    std::int32_t Version = 0;  // int16 in the record, sign-extended
    std::int32_t Mode = 0;
    std::int16_t History = 0;
    std::int16_t nFiles = 0;
    std::int16_t NextFile = 0;
    std::int16_t AddOn = 0;
    std::string Alignment1;  // 4
    std::string Alignment2;  // 20

    // Reads the 176 bytes at offset 0; afterwards the position is 176.  No
    // field is checked.  A file shorter than 176 bytes is an
    // ErrorKind::InvalidData error naming the file.
    void Load(BinaryFile& file);
    // Writes the 176 bytes at offset 0; afterwards the position is 176.
    // Version outside int16 is an overflow error and nothing is written (the
    // file and its position stay as they were).
    void Save(BinaryFile& file) const;
};

}  // namespace jw
