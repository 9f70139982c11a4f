// Compound file reader (versions 3 and 4).
//
// Layout: a 512-byte header at the start of the first sector, then sectors of
// 512 (version 3) or 4096 (version 4) bytes numbered from 0. The header lists
// the first 109 FAT sectors; further ones are listed in a chain of DIFAT
// sectors. The FAT links the sectors of every chain; small streams (below the
// cutoff stored in the header) live in 64-byte mini sectors inside the mini
// stream, which is the root entry's chain, and are linked by the mini FAT.
//
// Choices for damaged files:
// - A final sector cut short by the end of the file is read as if padded with
//   zeros.
// - A stream whose chain ends (end-of-chain marker) before its declared size
//   is read as far as the chain goes: writers that left a wrong size behind
//   are more common than lost sectors. A declared size larger than the whole
//   file (or mini stream) can never be right and is an error.
// - A FAT sector listed beyond the end of the file (a truncated file) is an
//   error only for the chains that need it.
// - A chain that runs into a free sector, a sector outside the file or a
//   sector it has visited before is an error naming the chain and the sector.
// - Version 3 files keep garbage in the high 32 bits of a stream size, so
//   only the low 32 bits are used there.
// - The directory's sibling tree is walked with a visited set, so a tree that
//   loops or points outside the directory only loses the broken branches.
// The file's bytes are read where they are (only a cut-short last sector is
// copied), and sector runs that lie one after another are copied at once.
// Every vector is sized from a count that has been checked against the sectors
// present, so memory stays within a small multiple of the input size.
#include "platform/spreadsheet/compound_file.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/spreadsheet/little_endian.h"
#include "platform/spreadsheet/spreadsheet_error.h"

namespace zumt::sheet {

namespace {

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kHeaderDifatEntries = 109;
constexpr std::size_t kDirEntrySize = 128;
constexpr std::uint32_t kMiniSectorSize = 64;
constexpr std::uint8_t kTypeStream = 2;
constexpr std::uint8_t kTypeRoot = 5;


[[noreturn]] void Fail(const std::string& what) { throw SpreadsheetError("compound file: " + what); }

std::string Num(std::uint64_t n) { return std::to_string(n); }

// Appends `count` little-endian 32-bit values from `src` to `out`.
void AppendLe32Array(std::vector<std::uint32_t>& out, const std::uint8_t* src, std::size_t count) {
  const std::size_t old = out.size();
  out.resize(old + count);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out.data() + old, src, count * 4);
  } else {
    for (std::size_t i = 0; i < count; ++i) out[old + i] = Le32(src + 4 * i);
  }
}

// The name as UTF-16 code units, folded to ASCII upper case for comparison.
std::u16string FoldedUtf16(std::string_view utf8) {
  std::u16string out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    char32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      len = 2, cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      len = 3, cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      len = 4, cp = b & 0x07;
    }
    if (len > 1) {
      if (i + len > utf8.size()) {
        cp = 0xFFFD, len = 1;
      } else {
        for (std::size_t k = 1; k < len; ++k) {
          const auto c = static_cast<unsigned char>(utf8[i + k]);
          if ((c & 0xC0) != 0x80) {
            cp = 0xFFFD, len = 1;
            break;
          }
          cp = (cp << 6) | (c & 0x3F);
        }
      }
    }
    i += len;
    if (cp >= 'a' && cp <= 'z') cp -= 0x20;
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp > 0xFFFF ? 0xFFFD : cp));
    }
  }
  return out;
}

char16_t FoldUnit(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c; }

}  // namespace

struct CompoundFile::Entry {
  std::u16string name;
  std::uint8_t type = 0;
  std::uint32_t left = kNoStream;
  std::uint32_t right = kNoStream;
  std::uint32_t child = kNoStream;
  std::uint32_t start = kEndOfChain;
  std::uint64_t size = 0;
};

struct CompoundFile::Impl {
  std::span<const std::uint8_t> file;  // the caller's bytes, not copied
  std::vector<std::uint8_t> tail;      // the last sector padded with zeros, when the file cuts it short
  std::uint32_t sectorShift = 9;
  std::uint32_t sectorSize = 512;
  std::uint32_t sectorCount = 0;  // sectors after the header sector
  std::uint32_t miniCutoff = 4096;
  std::uint32_t firstMiniFat = kEndOfChain;
  bool version3 = true;
  std::vector<std::uint32_t> fat;
  std::vector<std::uint32_t> fatSectors;  // where each FAT sector lies
  std::vector<bool> fatSectorPresent;     // false for one listed beyond the file
  std::vector<Entry> entries;
  std::vector<std::uint32_t> rootStreams;  // stream entries directly under the root

  const std::uint8_t* Sector(std::uint32_t s) const {
    if (s + 1 == sectorCount && !tail.empty()) return tail.data();
    return file.data() + (static_cast<std::size_t>(s) + 1) * sectorSize;
  }

  std::uint64_t EntrySize(const Entry& e) const { return version3 ? (e.size & 0xFFFFFFFFu) : e.size; }

  // The sectors of the FAT chain from `start`, at most `limit` of them;
  // fewer when the chain ends first.
  std::vector<std::uint32_t> Chain(std::uint32_t start, std::uint64_t limit, const std::string& what) const {
    std::vector<std::uint32_t> out;
    limit = std::min<std::uint64_t>(limit, sectorCount);
    out.reserve(static_cast<std::size_t>(limit));
    std::vector<bool> seen(sectorCount);
    std::uint32_t s = start;
    while (out.size() < limit && s != kEndOfChain) {
      if (s == kFreeSector || s > kMaxRegularSector) {
        Fail("FAT chain of " + what + " is broken " +
             (out.empty() ? std::string("at its start") : "after sector " + Num(out.back())));
      }
      if (s >= sectorCount) Fail("sector " + Num(s) + " of " + what + " is outside the file");
      if (seen[s]) Fail("FAT chain of " + what + " loops at sector " + Num(s));
      seen[s] = true;
      out.push_back(s);
      if (s >= fat.size()) Fail("sector " + Num(s) + " of " + what + " is not covered by the FAT");
      if (!fatSectorPresent[s / (sectorSize / 4)]) {
        Fail("FAT sector " + Num(fatSectors[s / (sectorSize / 4)]) + ", needed for " + what +
             ", is outside the file");
      }
      s = fat[s];
    }
    return out;
  }

  // Copies `size` bytes of the sectors `chain` (whole sectors but the last).
  std::vector<std::uint8_t> Gather(const std::vector<std::uint32_t>& chain, std::uint64_t size) const {
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(size));
    std::size_t i = 0;
    while (i < chain.size() && out.size() < size) {
      std::size_t run = 1;  // consecutive sectors are copied at once
      while (i + run < chain.size() && chain[i + run] == chain[i] + run &&
             !(chain[i + run] + 1 == sectorCount && !tail.empty())) {
        ++run;
      }
      const std::size_t bytes =
          std::min<std::uint64_t>(static_cast<std::uint64_t>(run) * sectorSize, size - out.size());
      const std::uint8_t* p = Sector(chain[i]);
      out.insert(out.end(), p, p + bytes);
      i += run;
    }
    return out;
  }

  // The sectors of a stream outside the mini stream (none for an empty one).
  std::vector<std::uint32_t> RegularChain(const Entry& e, const std::string& what) const {
    const std::uint64_t size = EntrySize(e);
    if (size > static_cast<std::uint64_t>(sectorCount) * sectorSize) {
      Fail(what + " is " + Num(size) + " bytes long, more than the file holds");
    }
    if (size == 0) return {};
    return Chain(e.start, (size + sectorSize - 1) >> sectorShift, what);
  }

  std::vector<std::uint8_t> ReadRegular(const Entry& e, const std::string& what) const {
    const auto chain = RegularChain(e, what);
    return Gather(chain,
                  std::min<std::uint64_t>(EntrySize(e), static_cast<std::uint64_t>(chain.size()) * sectorSize));
  }

  std::vector<std::uint8_t> ReadMini(const Entry& e, const std::string& what) const {
    const std::uint64_t size = EntrySize(e);
    if (size == 0) return {};
    const Entry& root = entries[0];
    const std::uint64_t rootSize = EntrySize(root);
    const auto rootChain = Chain(root.start, (rootSize + sectorSize - 1) >> sectorShift, "the mini stream");
    const std::uint64_t miniBytes =
        std::min<std::uint64_t>(rootSize, static_cast<std::uint64_t>(rootChain.size()) * sectorSize);
    if (size > miniBytes) Fail(what + " is " + Num(size) + " bytes long, more than the mini stream holds");
    const std::uint64_t miniSectors = (miniBytes + kMiniSectorSize - 1) / kMiniSectorSize;

    const auto miniFatChain = Chain(firstMiniFat, sectorCount, "the mini FAT");
    std::vector<std::uint32_t> miniFat;
    miniFat.reserve(miniFatChain.size() * (sectorSize / 4));
    for (std::uint32_t s : miniFatChain) AppendLe32Array(miniFat, Sector(s), sectorSize / 4);

    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(size));
    std::vector<bool> seen(static_cast<std::size_t>(miniSectors));
    std::uint32_t m = e.start;
    std::uint32_t last = kEndOfChain;
    while (out.size() < size && m != kEndOfChain) {
      if (m == kFreeSector || m > kMaxRegularSector) {
        Fail("mini FAT chain of " + what + " is broken " +
             (last == kEndOfChain ? std::string("at its start") : "after mini sector " + Num(last)));
      }
      if (m >= miniSectors) Fail("mini sector " + Num(m) + " of " + what + " is outside the mini stream");
      if (seen[m]) Fail("mini FAT chain of " + what + " loops at mini sector " + Num(m));
      seen[m] = true;
      const std::uint64_t offset = static_cast<std::uint64_t>(m) * kMiniSectorSize;
      const std::uint8_t* p =
          Sector(rootChain[static_cast<std::size_t>(offset >> sectorShift)]) + (offset & (sectorSize - 1));
      const std::size_t bytes = std::min<std::uint64_t>(kMiniSectorSize, size - out.size());
      out.insert(out.end(), p, p + bytes);
      if (m >= miniFat.size()) {
        if (out.size() < size)
          Fail("mini sector " + Num(m) + " of " + what + " is not covered by the mini FAT");
        break;
      }
      last = m;
      m = miniFat[m];
    }
    return out;
  }

  const Entry* Find(std::string_view name) const {
    const std::u16string wanted = FoldedUtf16(name);
    for (std::uint32_t i : rootStreams) {
      const std::u16string& n = entries[i].name;
      if (n.size() == wanted.size() && std::equal(n.begin(), n.end(), wanted.begin(),
                                                  [](char16_t a, char16_t b) { return FoldUnit(a) == b; })) {
        return &entries[i];
      }
    }
    return nullptr;
  }
};

CompoundFile::CompoundFile() : impl_(std::make_unique<Impl>()) {}
CompoundFile::CompoundFile(CompoundFile&&) noexcept = default;
CompoundFile& CompoundFile::operator=(CompoundFile&&) noexcept = default;
CompoundFile::~CompoundFile() = default;

CompoundFile CompoundFile::Parse(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < sizeof kSignature || std::memcmp(bytes.data(), kSignature, sizeof kSignature) != 0) {
    throw SpreadsheetError("not a compound file");
  }
  if (bytes.size() < kHeaderSize) Fail("header is cut short (" + Num(bytes.size()) + " bytes)");
  const std::uint8_t* h = bytes.data();
  const std::uint16_t major = Le16(h + 26);
  if (major != 3 && major != 4) Fail("unsupported version " + Num(major));
  if (Le16(h + 28) != 0xFFFE) Fail("bad byte order mark in the header");
  const std::uint16_t shift = Le16(h + 30);
  if (shift != 9 && shift != 12) Fail("bad sector size shift " + Num(shift));
  const std::uint16_t miniShift = Le16(h + 32);
  if (miniShift != 6) Fail("bad mini sector size shift " + Num(miniShift));

  CompoundFile cf;
  Impl& im = *cf.impl_;
  im.version3 = major == 3;
  im.sectorShift = shift;
  im.sectorSize = 1u << shift;
  const std::uint64_t body = bytes.size() > im.sectorSize ? bytes.size() - im.sectorSize : 0;
  im.sectorCount = static_cast<std::uint32_t>(
      std::min<std::uint64_t>((body + im.sectorSize - 1) >> shift, kMaxRegularSector + 1ull));
  im.file = bytes;
  const std::size_t lastStart =
      static_cast<std::size_t>(im.sectorCount) * im.sectorSize;  // last sector's offset
  if (im.sectorCount > 0 && bytes.size() < lastStart + im.sectorSize) {
    im.tail.assign(bytes.begin() + static_cast<std::ptrdiff_t>(lastStart), bytes.end());
    im.tail.resize(im.sectorSize);  // a cut-short last sector reads as zeros
  }

  const std::uint32_t fatCount = Le32(h + 44);
  const std::uint32_t firstDir = Le32(h + 48);
  im.miniCutoff = Le32(h + 56);
  im.firstMiniFat = Le32(h + 60);
  const std::uint32_t firstDifat = Le32(h + 68);
  if (fatCount > im.sectorCount) {
    Fail("header declares " + Num(fatCount) + " FAT sectors, more than the " + Num(im.sectorCount) +
         " sectors of the file");
  }

  // FAT sector numbers: the header's list, then the DIFAT chain.
  std::vector<std::uint32_t>& fatSectors = im.fatSectors;
  fatSectors.reserve(fatCount);
  for (std::size_t i = 0; i < kHeaderDifatEntries && fatSectors.size() < fatCount; ++i) {
    fatSectors.push_back(Le32(h + 76 + 4 * i));
  }
  {
    const std::uint32_t perSector = im.sectorSize / 4 - 1;
    std::vector<bool> seen(im.sectorCount);
    std::uint32_t s = firstDifat;
    while (fatSectors.size() < fatCount) {
      if (s == kEndOfChain || s == kFreeSector) {
        Fail("DIFAT lists " + Num(fatSectors.size()) + " of " + Num(fatCount) + " FAT sectors");
      }
      if (s >= im.sectorCount) Fail("DIFAT sector " + Num(s) + " is outside the file");
      if (seen[s]) Fail("DIFAT chain loops at sector " + Num(s));
      seen[s] = true;
      const std::uint8_t* p = im.Sector(s);
      for (std::uint32_t i = 0; i < perSector && fatSectors.size() < fatCount; ++i) {
        fatSectors.push_back(Le32(p + 4 * i));
      }
      s = Le32(p + 4 * perSector);
    }
  }
  im.fat.reserve(static_cast<std::size_t>(fatCount) * (im.sectorSize / 4));
  im.fatSectorPresent.reserve(fatCount);
  for (std::uint32_t s : fatSectors) {
    im.fatSectorPresent.push_back(s < im.sectorCount);
    if (s < im.sectorCount) {
      AppendLe32Array(im.fat, im.Sector(s), im.sectorSize / 4);
    } else {
      im.fat.resize(im.fat.size() + im.sectorSize / 4, kFreeSector);
    }
  }

  // Directory entries.
  const auto dirChain = im.Chain(firstDir, im.sectorCount, "the directory");
  const std::size_t perDirSector = im.sectorSize / kDirEntrySize;
  im.entries.reserve(dirChain.size() * perDirSector);
  for (std::uint32_t s : dirChain) {
    for (std::size_t k = 0; k < perDirSector; ++k) {
      const std::uint8_t* p = im.Sector(s) + k * kDirEntrySize;
      Entry e;
      const std::size_t units = std::min<std::size_t>(Le16(p + 64) / 2, 32);
      for (std::size_t i = 0; i < units; ++i) {
        const char16_t c = Le16(p + 2 * i);
        if (c == 0) break;
        e.name.push_back(c);
      }
      e.type = p[66];
      e.left = Le32(p + 68);
      e.right = Le32(p + 72);
      e.child = Le32(p + 76);
      e.start = Le32(p + 116);
      e.size = Le64(p + 120);
      im.entries.push_back(std::move(e));
    }
  }
  if (im.entries.empty() || im.entries[0].type != kTypeRoot) Fail("the directory has no root entry");

  // Streams directly under the root: the root's child and its siblings.
  std::vector<bool> visited(im.entries.size());
  std::vector<std::uint32_t> pending{im.entries[0].child};
  visited[0] = true;
  while (!pending.empty()) {
    const std::uint32_t i = pending.back();
    pending.pop_back();
    if (i >= im.entries.size() || visited[i]) continue;
    visited[i] = true;
    const Entry& e = im.entries[i];
    if (e.type == kTypeStream) im.rootStreams.push_back(i);
    pending.push_back(e.right);
    pending.push_back(e.left);
  }
  // Keep the directory's order so that the first of two equal names wins.
  std::sort(im.rootStreams.begin(), im.rootStreams.end());
  return cf;
}

std::optional<std::vector<std::uint8_t>> CompoundFile::ReadStream(std::string_view name) const {
  const Entry* e = impl_->Find(name);
  if (e == nullptr) return std::nullopt;
  const std::string what = "stream '" + std::string(name) + "'";
  if (impl_->EntrySize(*e) < impl_->miniCutoff) return impl_->ReadMini(*e, what);
  return impl_->ReadRegular(*e, what);
}

std::optional<std::span<const std::uint8_t>> CompoundFile::StreamInPlace(std::string_view name) const {
  const Entry* e = impl_->Find(name);
  if (e == nullptr) return std::nullopt;
  const std::uint64_t size = impl_->EntrySize(*e);
  if (size == 0 || size < impl_->miniCutoff) return std::nullopt;
  const auto chain = impl_->RegularChain(*e, "stream '" + std::string(name) + "'");
  if (static_cast<std::uint64_t>(chain.size()) * impl_->sectorSize < size) return std::nullopt;
  for (std::size_t i = 1; i < chain.size(); ++i)
    if (chain[i] != chain[0] + i) return std::nullopt;
  // The padded copy of a last sector that the file cuts short is not in place.
  if (!impl_->tail.empty() && chain.back() + 1 == impl_->sectorCount) return std::nullopt;
  return std::span<const std::uint8_t>(impl_->Sector(chain[0]), static_cast<std::size_t>(size));
}

bool CompoundFile::HasStream(std::string_view name) const { return impl_->Find(name) != nullptr; }

}  // namespace zumt::sheet
