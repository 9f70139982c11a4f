#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zumt::sheet {

// Workbook streams saved with workbook protection are encrypted with the
// default password "VelvetSweatshop" (RC4, RC4 CryptoAPI, or XOR
// obfuscation). If the globals substream of `stream` (a BIFF5/7 or BIFF8
// workbook stream) holds a FILEPASS record, decrypts the whole stream in
// place with that password and changes the FILEPASS record's type to 0x0000
// so that readers pass over it; returns true. Returns false, leaving the
// stream untouched, when there is no FILEPASS record. Throws
// SpreadsheetError("encrypted workbook") when the password is not the
// default one or the encryption is of an unknown kind, and a message naming
// the fault when the FILEPASS record is malformed.
bool DecryptWorkbookStream(std::vector<std::uint8_t>& stream, int biffVersion);

// Whether the globals substream of `stream` holds a FILEPASS record.
bool IsEncryptedWorkbookStream(std::span<const std::uint8_t> stream);

}  // namespace zumt::sheet
