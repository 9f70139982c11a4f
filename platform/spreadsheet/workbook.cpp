// Workbook: the compound file's workbook stream, decrypted when it must be,
// its globals parsed on opening and a sheet read when a table on it is asked for.
#include "platform/spreadsheet/workbook.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "platform/spreadsheet/biff_decrypt.h"
#include "platform/spreadsheet/biff_globals.h"
#include "platform/spreadsheet/biff_records.h"
#include "platform/spreadsheet/biff_sheet.h"
#include "platform/spreadsheet/compound_file.h"

namespace zumt::sheet {

namespace {

constexpr std::size_t kMaxFileSize = 512u << 20;

class BiffWorkbook final : public Workbook {
 public:
  // `stream` lies in the bytes that `keep` holds alive: the mapped file, the
  // caller's buffer, or a copy of the stream decrypted where it had to be.
  BiffWorkbook(std::shared_ptr<const void> keep, biff::Bytes stream, int biff)
      : keep_(std::move(keep)), stream_(stream), globals_(biff::ParseGlobals(stream_, biff)) {
    // A table may hold many more cells than the workbook has records (empty
    // cells cost nothing in the file), but not without bound.
    limits_.maxCells = (std::size_t{1} << 20) + stream_.size() / 8;
    limits_.maxTextBytes = (std::size_t{32} << 20) + 8 * stream_.size();
  }

  std::vector<std::string> TableNames() const override {
    std::vector<std::string> names;
    names.reserve(globals_.tables.size());
    for (const biff::TableName& t : globals_.tables) names.push_back(t.name);
    return names;
  }

  using Workbook::ReadTable;
  Table ReadTable(std::string_view name, const ReadOptions& options) const override {
    const std::string key = biff::FoldCase(name);
    for (const biff::TableName& t : globals_.tables) {
      if (biff::FoldCase(t.name) == key)
        return biff::ReadTableFromSheet(stream_, globals_, t, limits_, options);
    }
    throw SpreadsheetError("no table named " + std::string(name));
  }

  int BiffVersion() const override { return globals_.biff; }

 private:
  std::shared_ptr<const void> keep_;
  biff::Bytes stream_;
  biff::Globals globals_;
  biff::TableLimits limits_{};
};

bool HasCompoundSignature(biff::Bytes b) {
  static constexpr std::uint8_t kSig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  return b.size() >= 8 && std::equal(kSig, kSig + 8, b.begin());
}

// A BIFF stream written straight into a file, without a compound file
// around it, as BIFF2 to BIFF4 workbooks are stored.
bool LooksLikeBareBiff(biff::Bytes b) {
  if (b.size() < 8) return false;
  const std::uint16_t type = biff::U16(&b[0]);
  const std::uint16_t len = biff::U16(&b[2]);
  return (type == 0x0009 || type == 0x0209 || type == 0x0409 || type == 0x0809) && len >= 4 && len <= 32 &&
         len + 4u <= b.size();
}

bool IsBiff5Or8Bof(biff::Bytes b) {
  const std::uint16_t version = biff::U16(&b[4]);
  return biff::U16(&b[0]) == 0x0809 && (version == 0x0500 || version == 0x0600);
}

// Reads the workbook in `bytes`, which `keep` holds alive: a stream stored
// in consecutive sectors and not encrypted is read where it lies; any other
// is copied (and decrypted) first.
std::unique_ptr<Workbook> FromFile(biff::Bytes bytes, std::shared_ptr<const void> keep) {
  if (!HasCompoundSignature(bytes)) {
    if (bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] == 'K')
      throw SpreadsheetError("unsupported format: newer (zip-based) workbook");
    if (LooksLikeBareBiff(bytes)) {
      throw SpreadsheetError(IsBiff5Or8Bof(bytes) ? "unsupported format: BIFF stream outside a compound file"
                                                  : "unsupported format: BIFF2-4");
    }
    throw SpreadsheetError("not a compound file");
  }
  const CompoundFile cfb = CompoundFile::Parse(bytes);
  const char* name = cfb.HasStream("Workbook") ? "Workbook" : "Book";
  const auto inPlace = cfb.StreamInPlace(name);
  if (inPlace && !IsEncryptedWorkbookStream(*inPlace))
    return std::make_unique<BiffWorkbook>(std::move(keep), *inPlace, biff::WorkbookBiffVersion(*inPlace));
  std::optional<std::vector<std::uint8_t>> stream = cfb.ReadStream(name);
  if (!stream) throw SpreadsheetError("no workbook stream (neither Workbook nor Book) in the compound file");
  const int biff = biff::WorkbookBiffVersion(*stream);
  DecryptWorkbookStream(*stream, biff);
  auto copy = std::make_shared<const std::vector<std::uint8_t>>(std::move(*stream));
  const biff::Bytes view(*copy);
  return std::make_unique<BiffWorkbook>(std::move(copy), view, biff);
}

// The file mapped into memory, which spares reading a copy of it: the
// workbook keeps the mapping while its stream is read in place. Pages are
// read as they are touched, so the sheets that no table needs cost nothing.
class MappedFile {
 public:
  explicit MappedFile(const std::string& path) {
    // Non-blocking, so that a FIFO given as a workbook does not hang the open.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) throw SpreadsheetError("cannot open file " + path);
    struct stat st {};
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
      Close();
      throw SpreadsheetError("not a regular file: " + path);
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxFileSize) {
      Close();
      throw SpreadsheetError("file too large: " + std::to_string(st.st_size) +
                             " bytes (the limit is 512 MB)");
    }
    size_ = static_cast<std::size_t>(st.st_size);
    if (size_ > 0) {
      void* p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
      if (p == MAP_FAILED) {
        Close();
        throw SpreadsheetError("cannot read file " + path);
      }
      data_ = static_cast<const std::uint8_t*>(p);
    }
  }
  ~MappedFile() { Close(); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  biff::Bytes bytes() const { return {data_, size_}; }

 private:
  void Close() {
    if (data_) munmap(const_cast<std::uint8_t*>(data_), size_);
    if (fd_ >= 0) ::close(fd_);
    data_ = nullptr;
    fd_ = -1;
  }
  int fd_ = -1;
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace

// A file that shrinks while it is mapped would raise SIGBUS on reading the
// lost pages; workbooks are not written while the program reads them.
std::unique_ptr<Workbook> Workbook::Open(const std::string& path) {
  auto file = std::make_shared<const MappedFile>(path);
  const biff::Bytes bytes = file->bytes();
  return FromFile(bytes, std::move(file));
}

std::unique_ptr<Workbook> Workbook::FromBytes(std::vector<std::uint8_t> bytes) {
  auto owned = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
  const biff::Bytes view(*owned);
  return FromFile(view, std::move(owned));
}

}  // namespace zumt::sheet
