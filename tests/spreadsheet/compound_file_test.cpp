// Compound file reader: files built here byte by byte (versions 3 and 4,
// mini and regular streams, DIFAT sectors), damaged copies of them, and real
// workbooks from the corpus.
#include "platform/spreadsheet/compound_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/spreadsheet/spreadsheet_error.h"

namespace zumt::sheet {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kEnd = 0xFFFFFFFE;
constexpr std::uint32_t kFree = 0xFFFFFFFF;

void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t Get32(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

struct StreamSpec {
  std::string name;  // ASCII
  Bytes data;
};

// A compound file written the plain way: FAT sectors first, then DIFAT
// sectors, the directory, the mini FAT, the mini stream, and the regular
// streams with their sectors interleaved (so chains are not contiguous).
struct Built {
  Bytes bytes;
  std::uint32_t sectorSize = 0;
  std::uint32_t fatCount = 0;
  std::uint32_t difatCount = 0;
  std::uint32_t dirSector = 0;
  std::uint32_t miniFatSector = kEnd;
  std::vector<std::uint32_t> start;  // first (mini) sector of each stream

  std::size_t SectorOffset(std::uint32_t s) const { return (std::size_t{s} + 1) * sectorSize; }
  std::size_t FatEntry(std::uint32_t s) const {
    // valid while the FAT sectors are sectors 0, 1, 2 ... in order
    return SectorOffset(s / (sectorSize / 4)) + 4 * (s % (sectorSize / 4));
  }
  std::size_t DirEntry(std::uint32_t i) const { return SectorOffset(dirSector) + 128 * i; }
};

Built Build(const std::vector<StreamSpec>& streams, int version = 3, std::uint32_t cutoff = 4096) {
  Built f;
  const std::uint32_t S = version == 4 ? 4096 : 512;
  const std::uint32_t perFat = S / 4;
  f.sectorSize = S;
  auto ceilDiv = [](std::uint64_t a, std::uint64_t b) { return static_cast<std::uint32_t>((a + b - 1) / b); };

  std::uint32_t miniSectors = 0;
  std::vector<std::uint32_t> bigSectors(streams.size(), 0);
  for (std::size_t i = 0; i < streams.size(); ++i) {
    if (streams[i].data.size() < cutoff) {
      miniSectors += ceilDiv(streams[i].data.size(), 64);
    } else {
      bigSectors[i] = ceilDiv(streams[i].data.size(), S);
    }
  }
  const std::uint32_t dirSectors = ceilDiv(streams.size() + 1, S / 128);
  const std::uint32_t miniFatSectors = ceilDiv(miniSectors, perFat);
  const std::uint32_t miniStreamSectors = ceilDiv(std::uint64_t{miniSectors} * 64, S);
  std::uint32_t data = dirSectors + miniFatSectors + miniStreamSectors;
  for (auto n : bigSectors) data += n;
  std::uint32_t fat = 1, difat = 0;
  for (;;) {
    const std::uint32_t d = fat > 109 ? ceilDiv(fat - 109, perFat - 1) : 0;
    const std::uint32_t need = ceilDiv(data + fat + d, perFat);
    if (need <= fat && d == difat) break;
    fat = std::max(fat, need);
    difat = d;
  }
  f.fatCount = fat;
  f.difatCount = difat;
  const std::uint32_t total = fat + difat + data;
  f.bytes.assign((std::size_t{total} + 1) * S, 0);
  std::vector<std::uint32_t> table(std::size_t{fat} * perFat, kFree);
  std::uint32_t next = 0;
  for (std::uint32_t i = 0; i < fat; ++i) table[next++] = 0xFFFFFFFD;
  const std::uint32_t firstDifat = difat ? next : kEnd;
  for (std::uint32_t i = 0; i < difat; ++i) table[next++] = 0xFFFFFFFC;
  auto chain = [&](std::uint32_t first, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) table[first + i] = i + 1 < count ? first + i + 1 : kEnd;
  };
  f.dirSector = next;
  chain(next, dirSectors);
  next += dirSectors;
  if (miniFatSectors) f.miniFatSector = next;
  chain(next, miniFatSectors);
  next += miniFatSectors;
  const std::uint32_t miniStart = miniStreamSectors ? next : kEnd;
  chain(next, miniStreamSectors);
  next += miniStreamSectors;

  // Regular streams: round-robin over the streams still needing sectors.
  std::vector<std::vector<std::uint32_t>> own(streams.size());
  for (bool more = true; more;) {
    more = false;
    for (std::size_t i = 0; i < streams.size(); ++i) {
      if (own[i].size() < bigSectors[i]) own[i].push_back(next++), more = true;
    }
  }
  for (std::size_t i = 0; i < streams.size(); ++i) {
    for (std::size_t k = 0; k < own[i].size(); ++k) {
      table[own[i][k]] = k + 1 < own[i].size() ? own[i][k + 1] : kEnd;
      const std::size_t from = k * S;
      const std::size_t n = std::min<std::size_t>(S, streams[i].data.size() - from);
      std::memcpy(&f.bytes[f.SectorOffset(own[i][k])], streams[i].data.data() + from, n);
    }
  }

  // Mini streams and the mini FAT.
  std::vector<std::uint32_t> miniFat;
  f.start.assign(streams.size(), kEnd);
  for (std::size_t i = 0; i < streams.size(); ++i) {
    if (!own[i].empty()) {
      f.start[i] = own[i][0];
      continue;
    }
    const auto n = ceilDiv(streams[i].data.size(), 64);
    if (n == 0) continue;
    f.start[i] = static_cast<std::uint32_t>(miniFat.size());
    for (std::uint32_t k = 0; k < n; ++k) {
      const std::uint32_t m = static_cast<std::uint32_t>(miniFat.size());
      miniFat.push_back(k + 1 < n ? m + 1 : kEnd);
      const std::size_t at = f.SectorOffset(miniStart + m * 64 / S) + (m * 64) % S;
      const std::size_t len = std::min<std::size_t>(64, streams[i].data.size() - k * 64);
      std::memcpy(&f.bytes[at], streams[i].data.data() + k * 64, len);
    }
  }
  for (std::size_t m = 0; m < miniFat.size(); ++m) {
    Put32(f.bytes, f.SectorOffset(f.miniFatSector + m / perFat) + 4 * (m % perFat), miniFat[m]);
  }
  for (std::size_t m = miniFat.size(); m < std::size_t{miniFatSectors} * perFat; ++m) {
    Put32(f.bytes, f.SectorOffset(f.miniFatSector + m / perFat) + 4 * (m % perFat), kFree);
  }

  // Directory: root, then one stream per entry linked as right siblings.
  auto entry = [&](std::uint32_t i, const std::string& name, std::uint8_t type, std::uint32_t right,
                   std::uint32_t child, std::uint32_t start, std::uint64_t size) {
    const std::size_t at = f.SectorOffset(f.dirSector + i / (S / 128)) + 128 * (i % (S / 128));
    for (std::size_t k = 0; k < name.size(); ++k)
      Put16(f.bytes, at + 2 * k, static_cast<std::uint8_t>(name[k]));
    Put16(f.bytes, at + 64, static_cast<std::uint16_t>(2 * (name.size() + 1)));
    f.bytes[at + 66] = type;
    f.bytes[at + 67] = 1;  // black
    Put32(f.bytes, at + 68, kFree);
    Put32(f.bytes, at + 72, right);
    Put32(f.bytes, at + 76, child);
    Put32(f.bytes, at + 116, start);
    Put32(f.bytes, at + 120, static_cast<std::uint32_t>(size));
    Put32(f.bytes, at + 124, static_cast<std::uint32_t>(size >> 32));
  };
  for (std::uint32_t i = 0; i < dirSectors * (S / 128); ++i) {  // unused entries
    const std::size_t at = f.SectorOffset(f.dirSector + i / (S / 128)) + 128 * (i % (S / 128));
    Put32(f.bytes, at + 68, kFree), Put32(f.bytes, at + 72, kFree), Put32(f.bytes, at + 76, kFree);
  }
  entry(0, "Root Entry", 5, kFree, streams.empty() ? kFree : 1, miniStart, std::uint64_t{miniSectors} * 64);
  for (std::uint32_t i = 0; i < streams.size(); ++i) {
    entry(i + 1, streams[i].name, 2, i + 1 < streams.size() ? i + 2 : kFree, kFree, f.start[i],
          streams[i].data.size());
  }

  // FAT and DIFAT.
  for (std::size_t k = 0; k < table.size(); ++k) Put32(f.bytes, f.SectorOffset(0) + 4 * k, table[k]);
  for (std::uint32_t d = 0; d < difat; ++d) {
    const std::size_t at = f.SectorOffset(fat + d);
    for (std::uint32_t j = 0; j < perFat - 1; ++j) {
      const std::uint32_t k = 109 + d * (perFat - 1) + j;
      Put32(f.bytes, at + 4 * j, k < fat ? k : kFree);
    }
    Put32(f.bytes, at + 4 * (perFat - 1), d + 1 < difat ? fat + d + 1 : kEnd);
  }

  // Header.
  Bytes& b = f.bytes;
  const std::uint8_t sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(b.data(), sig, 8);
  Put16(b, 24, 0x3E);
  Put16(b, 26, static_cast<std::uint16_t>(version));
  Put16(b, 28, 0xFFFE);
  Put16(b, 30, version == 4 ? 12 : 9);
  Put16(b, 32, 6);
  Put32(b, 40, version == 4 ? dirSectors : 0);
  Put32(b, 44, fat);
  Put32(b, 48, f.dirSector);
  Put32(b, 56, cutoff);
  Put32(b, 60, f.miniFatSector);
  Put32(b, 64, miniFatSectors);
  Put32(b, 68, firstDifat);
  Put32(b, 72, difat);
  for (std::uint32_t k = 0; k < 109; ++k) Put32(b, 76 + 4 * k, k < fat ? k : kFree);
  return f;
}

Bytes Pattern(std::size_t n, std::uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 31 + seed + (i >> 9));
  return b;
}

// Two regular streams (interleaved sectors) and two mini streams.
std::vector<StreamSpec> SampleStreams() {
  return {{"Workbook", Pattern(5000, 1)},
          {"\x05SummaryInformation", Pattern(200, 2)},
          {"Other", Pattern(9000, 3)},
          {"Small", Pattern(64, 4)}};
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(CompoundFile, ReadsRegularAndMiniStreamsOfBothVersions) {
  for (int version : {3, 4}) {
    SCOPED_TRACE(version);
    const auto streams = SampleStreams();
    const Built f = Build(streams, version);
    const CompoundFile cf = CompoundFile::Parse(f.bytes);
    for (const auto& s : streams) {
      SCOPED_TRACE(s.name);
      const auto got = cf.ReadStream(s.name);
      ASSERT_TRUE(got.has_value());
      EXPECT_EQ(*got, s.data);
    }
    EXPECT_FALSE(cf.ReadStream("Book").has_value());
    EXPECT_FALSE(cf.HasStream("Root Entry"));  // the root is a storage, not a stream
  }
}

TEST(CompoundFile, NamesCompareCaseInsensitively) {
  const Built f = Build(SampleStreams());
  const CompoundFile cf = CompoundFile::Parse(f.bytes);
  for (const char* name : {"Workbook", "WORKBOOK", "workbook", "wOrKbOoK"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(cf.HasStream(name));
    EXPECT_EQ(cf.ReadStream(name)->size(), 5000u);
  }
  for (const char* name : {"Workboo", "Workbookk", "Workb\xC3\xB6ok", ""}) EXPECT_FALSE(cf.HasStream(name));
}

TEST(CompoundFile, MiniStreamCutoffComesFromTheHeader) {
  // With a cutoff of 128, a 200-byte stream lives in regular sectors and a
  // 100-byte one in the mini stream.
  const std::vector<StreamSpec> streams = {{"A", Pattern(200, 7)}, {"B", Pattern(100, 8)}};
  const Built f = Build(streams, 3, 128);
  ASSERT_NE(f.start[0], 0u);  // a regular sector, not mini sector 0
  const CompoundFile cf = CompoundFile::Parse(f.bytes);
  EXPECT_EQ(*cf.ReadStream("A"), streams[0].data);
  EXPECT_EQ(*cf.ReadStream("B"), streams[1].data);
}

TEST(CompoundFile, ReadsFatSectorsListedInDifatSectors) {
  // More than 109 FAT sectors: a 7.5 MB stream in 512-byte sectors.
  const std::vector<StreamSpec> streams = {{"Workbook", Pattern(7'500'000, 9)}};
  const Built f = Build(streams);
  ASSERT_GT(f.fatCount, 109u);
  ASSERT_EQ(f.difatCount, 1u);
  const auto t0 = std::chrono::steady_clock::now();
  const auto got = CompoundFile::Parse(f.bytes).ReadStream("Workbook");
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  ASSERT_TRUE(got.has_value());
  EXPECT_TRUE(*got == streams[0].data);
  RecordProperty("parse_and_read_ms", std::to_string(ms));
}

// A stream in consecutive sectors is read where it lies; any other stream
// only by copying, which StreamInPlace declines.
TEST(CompoundFile, StreamInPlaceOnlyForConsecutiveSectors) {
  {
    const std::vector<StreamSpec> streams = {{"Workbook", Pattern(70'000, 3)}, {"Small", Pattern(100, 4)}};
    const Built f = Build(streams);
    const CompoundFile cf = CompoundFile::Parse(f.bytes);
    const auto view = cf.StreamInPlace("workbook");
    ASSERT_TRUE(view.has_value());
    EXPECT_TRUE(std::equal(view->begin(), view->end(), streams[0].data.begin(), streams[0].data.end()));
    EXPECT_EQ(view->data(), f.bytes.data() + f.SectorOffset(f.start[0]));
    EXPECT_FALSE(cf.StreamInPlace("Small").has_value());  // in the mini stream
    EXPECT_FALSE(cf.StreamInPlace("Book").has_value());
  }
  {
    const Built f = Build(SampleStreams());  // regular streams with interleaved sectors
    EXPECT_FALSE(CompoundFile::Parse(f.bytes).StreamInPlace("Workbook").has_value());
  }
  {
    Built f = Build({{"Workbook", Pattern(5000, 1)}});
    f.bytes.resize(f.bytes.size() - 300);  // the last sector cut short: read padded
    EXPECT_FALSE(CompoundFile::Parse(f.bytes).StreamInPlace("Workbook").has_value());
  }
  {
    Built f = Build({{"Workbook", Pattern(5000, 1)}});
    Put32(f.bytes, f.DirEntry(1) + 120, 6000);  // longer than its chain
    EXPECT_FALSE(CompoundFile::Parse(f.bytes).StreamInPlace("Workbook").has_value());
  }
}

TEST(CompoundFile, DamagedButReadableFiles) {
  const auto streams = SampleStreams();
  {
    // The last sector is cut short: the missing bytes read as zeros.
    Built f = Build({{"Workbook", Pattern(5000, 1)}});
    f.bytes.resize(f.bytes.size() - 300);
    const auto got = CompoundFile::Parse(f.bytes).ReadStream("Workbook");
    ASSERT_TRUE(got.has_value());
    ASSERT_EQ(got->size(), 5000u);
    const std::size_t kept = 5000 - (300 - (10 * 512 - 5000));  // 120 bytes were padding
    EXPECT_TRUE(std::equal(got->begin(), got->begin() + kept, streams[0].data.begin()));
    EXPECT_TRUE(std::all_of(got->begin() + kept, got->end(), [](std::uint8_t c) { return c == 0; }));
  }
  {
    // A version 3 size with garbage in its high 32 bits.
    Built f = Build(streams);
    Put32(f.bytes, f.DirEntry(1) + 124, 0xDEADBEEF);
    EXPECT_EQ(*CompoundFile::Parse(f.bytes).ReadStream("Workbook"), streams[0].data);
  }
  {
    // A declared size beyond the end of the chain: read what the chain holds.
    Built f = Build(streams);
    Put32(f.bytes, f.DirEntry(1) + 120, 6000);
    const auto got = CompoundFile::Parse(f.bytes).ReadStream("Workbook");
    ASSERT_EQ(got->size(), 10u * 512);
    EXPECT_TRUE(std::equal(streams[0].data.begin(), streams[0].data.end(), got->begin()));
  }
  {
    // A sibling tree that loops back to the root's child still finds all.
    Built f = Build(streams);
    Put32(f.bytes, f.DirEntry(4) + 72, 1);
    const CompoundFile cf = CompoundFile::Parse(f.bytes);
    for (const auto& s : streams) EXPECT_EQ(*cf.ReadStream(s.name), s.data);
  }
}

struct Damage {
  const char* what;
  std::function<void(Built&)> apply;
  const char* message;  // part of the error message
};

class DamagedCompoundFile : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedCompoundFile, GivesAClearError) {
  Built f = Build(SampleStreams());
  ASSERT_EQ(f.dirSector, 1u);
  ASSERT_EQ(f.miniFatSector, 3u);
  ASSERT_EQ(f.start[0], 5u);
  ASSERT_EQ(Get32(f.bytes, f.FatEntry(5)), 7u);
  GetParam().apply(f);
  try {
    const CompoundFile cf = CompoundFile::Parse(f.bytes);
    for (const auto& s : SampleStreams()) cf.ReadStream(s.name);
    FAIL() << "no error";
  } catch (const SpreadsheetError& e) {
    EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
  }
}

// Sector numbers of the sample file: 0 FAT, 1 and 2 directory, 3 mini FAT,
// 4 mini stream, 5... Workbook and Other interleaved (Workbook at 5, 7, 9 ...).
INSTANTIATE_TEST_SUITE_P(
    Table, DamagedCompoundFile,
    ::testing::Values(
        Damage{"BadSignature", [](Built& f) { f.bytes[7] = 0; }, "not a compound file"},
        Damage{"Empty", [](Built& f) { f.bytes.clear(); }, "not a compound file"},
        Damage{"TruncatedHeader", [](Built& f) { f.bytes.resize(300); },
               "compound file: header is cut short"},
        Damage{"ByteOrder", [](Built& f) { Put16(f.bytes, 28, 0xFEFF); }, "byte order"},
        Damage{"Version", [](Built& f) { Put16(f.bytes, 26, 5); }, "unsupported version 5"},
        Damage{"SectorShift", [](Built& f) { Put16(f.bytes, 30, 10); }, "sector size shift 10"},
        Damage{"MiniSectorShift", [](Built& f) { Put16(f.bytes, 32, 7); }, "mini sector size shift 7"},
        Damage{"HugeFatCount", [](Built& f) { Put32(f.bytes, 44, 0xFFFFFFF0); }, "FAT sectors, more than"},
        Damage{"FatSectorOutsideFile", [](Built& f) { Put32(f.bytes, 76, 999); },
               "FAT sector 999, needed for the directory, is outside the file"},
        Damage{"DifatLoop",
               [](Built& f) {
                 // 240 FAT sectors need a DIFAT chain; its one sector points to itself.
                 f.bytes.resize(f.bytes.size() + 250 * 512, 0);
                 Put32(f.bytes, 44, 240);
                 Put32(f.bytes, 68, 100);
                 Put32(f.bytes, f.SectorOffset(100) + 508, 100);
               },
               "DIFAT chain loops at sector 100"},
        Damage{"DifatEndsEarly",
               [](Built& f) {
                 f.bytes.resize(f.bytes.size() + 250 * 512, 0);
                 Put32(f.bytes, 44, 200);
               },
               "DIFAT lists 109 of 200 FAT sectors"},
        Damage{"DirectoryLoop", [](Built& f) { Put32(f.bytes, f.FatEntry(2), 1); },
               "FAT chain of the directory loops at sector 1"},
        Damage{"DirectoryOutsideFile", [](Built& f) { Put32(f.bytes, 48, 5000); },
               "sector 5000 of the directory is outside the file"},
        Damage{"NoRoot", [](Built& f) { f.bytes[f.DirEntry(0) + 66] = 1; }, "no root entry"},
        Damage{"StreamChainLoop", [](Built& f) { Put32(f.bytes, f.FatEntry(9), 7); },
               "FAT chain of stream 'Workbook' loops at sector 7"},
        Damage{"StreamSectorOutsideFile", [](Built& f) { Put32(f.bytes, f.FatEntry(5), 999); },
               "sector 999 of stream 'Workbook' is outside the file"},
        Damage{"StreamChainHitsFreeSector", [](Built& f) { Put32(f.bytes, f.FatEntry(5), kFree); },
               "FAT chain of stream 'Workbook' is broken after sector 5"},
        Damage{"HugeStreamSize", [](Built& f) { Put32(f.bytes, f.DirEntry(1) + 120, 0x7FFFFFFF); },
               "stream 'Workbook' is 2147483647 bytes long, more than the file holds"},
        Damage{"HugeVersion4StreamSize",
               [](Built& f) {
                 Put16(f.bytes, 26, 4);  // read as version 4: the high dword counts
                 Put16(f.bytes, 30, 9);
                 Put32(f.bytes, f.DirEntry(1) + 124, 0x10);
               },
               "more than the file holds"},
        Damage{"MiniChainLoop", [](Built& f) { Put32(f.bytes, f.SectorOffset(3) + 4 * 2, 0); },
               "mini FAT chain of stream '\x05SummaryInformation' loops at mini sector 0"},
        Damage{"MiniSectorOutsideMiniStream", [](Built& f) { Put32(f.bytes, f.DirEntry(4) + 116, 500); },
               "mini sector 500 of stream 'Small' is outside the mini stream"},
        Damage{"MiniStreamSizeTooLarge", [](Built& f) { Put32(f.bytes, f.DirEntry(2) + 120, 4000); },
               "more than the mini stream holds"},
        Damage{"MiniFatLoop", [](Built& f) { Put32(f.bytes, f.FatEntry(3), 3); },
               "FAT chain of the mini FAT loops at sector 3"}),
    [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.what); });

TEST(CompoundFile, NoDamageCrashesOrAllocatesWithoutBound) {
  // Every 32-bit field of the header, FAT and directory set to a few hostile
  // values, and the file cut at many lengths: each read either works or
  // gives a SpreadsheetError.
  const Built good = Build(SampleStreams());
  auto tryRead = [](const Bytes& bytes) {
    try {
      const CompoundFile cf = CompoundFile::Parse(bytes);
      for (const char* n : {"Workbook", "\x05SummaryInformation", "Other", "Small"}) cf.ReadStream(n);
    } catch (const SpreadsheetError&) {
    }
  };
  const std::size_t end = good.SectorOffset(good.dirSector + 1);
  for (std::size_t at = 0; at + 4 <= end; at += 4) {
    for (std::uint32_t v : {0u, 1u, 3u, 0x7FFFFFFFu, kEnd, kFree, Get32(good.bytes, at) + 1}) {
      Bytes b = good.bytes;
      Put32(b, at, v);
      tryRead(b);
    }
  }
  for (std::size_t n = 0; n <= good.bytes.size(); n += 61)
    tryRead(Bytes(good.bytes.begin(), good.bytes.begin() + n));
}

TEST(CompoundFile, ReadsTheWorkbookStreamOfRealFiles) {
  const std::string dir = ZUMT_CORPUS_DIR;
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no corpus at " << dir;
  // The largest workbook of the corpus, and one whose streams live in the
  // mini stream.
  for (const char* name : {"ExcelDataReader/src_TestData_Test_BigFormatted.xls", "calamine/tests_date.xls"}) {
    SCOPED_TRACE(name);
    const Bytes file = ReadFile(dir + "/" + name);
    if (file.empty()) GTEST_SKIP() << "missing " << name;
    const auto t0 = std::chrono::steady_clock::now();
    const CompoundFile cf = CompoundFile::Parse(file);
    const auto wb = cf.ReadStream("workbook");
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_TRUE(wb.has_value());
    ASSERT_GE(wb->size(), 8u);
    EXPECT_EQ((*wb)[0], 0x09);  // BOF record 0x0809, BIFF8
    EXPECT_EQ((*wb)[1], 0x08);
    EXPECT_EQ((*wb)[5], 0x06);
    RecordProperty(std::string("ms_") + (name[0] == 'E' ? "big" : "small"), std::to_string(ms));
  }
}

}  // namespace
}  // namespace zumt::sheet
