// Record layouts that have broken readers of real files, built byte by byte:
// strings split over CONTINUE records, counts and fields that lie, nested
// substreams, formula results, code pages, dates and defined names.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/spreadsheet/workbook.h"
#include "tests/spreadsheet/biff_test_util.h"

namespace zumt::sheet {
namespace {

using namespace testutil;

// Globals of a one-sheet BIFF8 workbook whose table "T" is rows 0..r2,
// columns 0..c2 of Sheet1; `more` comes after the name (SST, formats ...).
Bytes Globals8(int r2, int c2, const Bytes& more = {}) {
  return Cat({Rec(0x0042, U16(1200)), SelfSupBook(), Rec(0x0017, Cat({U16(1), U16(0), U16(0), U16(0)})),
              Name8("T", 0, Area3d(0, 0, r2, 0, c2)), more});
}

// SST record data: counts, then the given bytes.
Bytes SstHead(std::uint32_t total, std::uint32_t unique) { return Cat({U32(total), U32(unique)}); }

std::string ReadT(const Bytes& stream, const std::string& streamName = "Workbook") {
  const auto wb = Workbook::FromBytes(CompoundFileWith(stream, streamName));
  return Dump(wb->ReadTable("T"));
}

struct Case {
  const char* name;
  std::function<Bytes()> stream;
  const char* dump;  // after "TABLE\tT\n"
};

class BiffCase : public ::testing::TestWithParam<Case> {};

TEST_P(BiffCase, ReadsTheTable) {
  EXPECT_EQ(ReadT(GetParam().stream()), std::string("TABLE\tT\n") + GetParam().dump);
}

const Case kCases[] = {
    {"SstHeaderEndsTheRecordCharactersInContinue",
     [] {
       // "ab" whole; then the count and flags of "абв" end the SST record,
       // and its characters follow in the CONTINUE behind a new flags byte.
       const Bytes sst = Cat({SstHead(2, 2), U16(2), Bytes{0}, Raw("ab"), U16(3), Bytes{0}});
       const Bytes cont = Cat({Bytes{1}, Utf16("абв")});
       return WorkbookStream(Globals8(1, 0, Cat({Rec(0x00FC, sst), Rec(0x003C, cont)})),
                             {Cat({LabelSst(0, 0, 0), LabelSst(1, 0, 1)})});
     },
     "COL\tab\nROW\tT:абв\n"},
    {"SstWidthChangesAtEachContinueAndEmptyContinueIsSkipped",
     [] {
       // "ab" compressed, then "вг" wide after an empty CONTINUE, then "\xE9" compressed (Latin-1 é).
       const Bytes sst = Cat({SstHead(1, 1), U16(5), Bytes{0}, Raw("ab")});
       return WorkbookStream(
           Globals8(1, 0,
                    Cat({Rec(0x00FC, sst), Rec(0x003C, {}), Rec(0x003C, Cat({Bytes{1}, Utf16("вг")})),
                         Rec(0x003C, Bytes{0, 0xE9})})),
           {Cat({LabelSst(0, 0, 0), LabelSst(1, 0, 0)})});
     },
     "COL\tabвгé\nROW\tT:abвгé\n"},
    {"SstRichRunsAndPhoneticDataStraddleContinues",
     [] {
       // "xy" with 2 rich-text runs (8 bytes, split 3 + 5), "pq" with 6 bytes of
       // phonetic data (split 2 + 4), then "z"; the unique count says 0.
       const Bytes sst = Cat({SstHead(0, 0), U16(2), Bytes{0x08}, U16(2), Raw("xy"), Bytes{1, 2, 3}});
       const Bytes c1 = Cat({Bytes{4, 5, 6, 7, 8}, U16(2), Bytes{0x04}, U32(6), Raw("pq"), Bytes{9, 9}});
       const Bytes c2 = Cat({Bytes{9, 9, 9, 9}, U16(1), Bytes{0}, Raw("z")});
       return WorkbookStream(Globals8(3, 0, Cat({Rec(0x00FC, sst), Rec(0x003C, c1), Rec(0x003C, c2)})),
                             {Cat({LabelSst(0, 0, 0), LabelSst(1, 0, 1), LabelSst(2, 0, 2)})});
     },
     "COL\txy\nROW\tT:pq\nROW\tT:z\n"},
    {"Utf16SurrogatePairsAndLoneSurrogates",
     [] {
       const Bytes s = Cat({U16(4), Bytes{1}, Utf16({0xD83D, 0xDE00, 0xD800, 0x0041})});
       return WorkbookStream(Globals8(1, 0), {Cat({Label8(0, 0, "h"), Rec(0x0204, Cat({Head(1, 0), s}))})});
     },
     "COL\th\nROW\tT:\xF0\x9F\x98\x80\xEF\xBF\xBD"
     "A\n"},
    {"MulRkTrustsItsLengthNotItsLastColumn",
     [] {
       // Three RK values (integer 5, 1.25 as 125/100, 2.5 as a truncated double);
       // the last-column field claims column 1.
       const Bytes d = Cat({U16(1), U16(0), U16(15), U32((5 << 2) | 2), U16(15), U32((125 << 2) | 3), U16(15),
                            U32(0x40040000), U16(1)});
       return WorkbookStream(
           Globals8(1, 2), {Cat({Label8(0, 0, "a"), Label8(0, 1, "b"), Label8(0, 2, "c"), Rec(0x00BD, d)})});
     },
     "COL\ta\tb\tc\nROW\tN:5\tN:1.25\tN:2.5\n"},
    {"FormulaResultsOfEveryKind",
     [] {
       auto formula = [](int r, int c, const Bytes& result) {
         return Rec(0x0006, Cat({Head(r, c), result, U16(0), U32(0), U16(0)}));
       };
       auto special = [](std::uint8_t kind, std::uint8_t value) {
         return Bytes{kind, 0, value, 0, 0, 0, 0xFF, 0xFF};
       };
       const Bytes str = Rec(0x0207, Cat({U16(4), Bytes{1}, Utf16("итог")}));
       return WorkbookStream(
           Globals8(1, 5),
           {Cat({Label8(0, 0, "n"), Label8(0, 1, "s"), Label8(0, 2, "b"), Label8(0, 3, "e"),
                 Label8(0, 4, "x"), Label8(0, 5, "s2"), formula(1, 0, F64(84.5)),
                 // The STRING of a shared formula comes after the SHRFMLA record.
                 formula(1, 1, special(0, 0)), Rec(0x04BC, Bytes(10, 0)), str, formula(1, 2, special(1, 1)),
                 formula(1, 3, special(2, 0x07)), formula(1, 4, special(3, 0)), formula(1, 5, special(0, 0)),
                 // A long result goes on in a CONTINUE, which restarts the character width.
                 Rec(0x0207, Cat({U16(5), Bytes{0}, Raw("abc")})),
                 Rec(0x003C, Cat({Bytes{1}, Utf16("юя")}))})});
     },
     "COL\tn\ts\tb\te\tx\ts2\nROW\tN:84.5\tT:итог\tB:1\tX:7\tT:\tT:abcюя\n"},
    {"EmbeddedChartSubstreamIsNotCellsAndItsEofDoesNotEndTheSheet",
     [] {
       return WorkbookStream(Globals8(4, 0),
                             {Cat({Label8(0, 0, "h"), Number(1, 0, 1),
                                   Cat({Bof(0x0020), Number(3, 0, 99), Eof()}), Number(2, 0, 7)})});
     },
     "COL\th\nROW\tN:1\nROW\tN:7\n"},
    {"LyingDimensionsBlankRowsAndEmptyRowsInside",
     [] {
       // DIMENSIONS claims 65536 rows x 256 columns; row 2 is empty; the blank
       // at row 9 does not make rows 4..9 used; the number in column 5 (outside
       // the table) does.
       const Bytes dims = Rec(0x0200, Cat({U32(0), U32(65536), U16(0), U16(256), U16(0)}));
       return WorkbookStream(
           Globals8(20, 1),
           {Cat({dims, Label8(0, 0, "a"), Number(1, 0, 1), Number(3, 1, 3), Blank(9, 0), Number(4, 5, 0)})});
     },
     "COL\ta\tF2\nROW\tN:1\tE\nROW\tE\tE\nROW\tE\tN:3\nROW\tE\tE\n"},
    {"DatesBy1904SystemBuiltinAndCustomFormats",
     [] {
       // XF 0: General, 1: built-in 14, 2: custom date, 3: custom percent, 4: elapsed [h]:mm.
       const Bytes formats = Cat({Rec(0x041E, Cat({U16(164), Str8("DD\" день \"MM")})),
                                  Rec(0x041E, Cat({U16(165), Str8("0.00%", false)})),
                                  Rec(0x041E, Cat({U16(166), Str8("[h]:mm", false)}))});
       Bytes xfs;
       for (int f : {0, 14, 164, 165, 166}) {
         const Bytes x = Rec(0x00E0, Cat({U16(0), U16(f), Bytes(16, 0)}));
         xfs.insert(xfs.end(), x.begin(), x.end());
       }
       return WorkbookStream(Globals8(1, 4, Cat({Rec(0x0022, U16(1)), formats, xfs})),
                             {Cat({Label8(0, 0, "g"), Label8(0, 1, "d"), Label8(0, 2, "c"), Label8(0, 3, "p"),
                                   Label8(0, 4, "h"), Number(1, 0, 1, 0), Number(1, 1, 1, 1),
                                   Number(1, 2, 2, 2), Number(1, 3, 0.25, 3), Number(1, 4, 0.5, 4)})});
     },
     "COL\tg\td\tc\tp\th\nROW\tN:1\tD:1463\tD:1464\tN:0.25\tD:1462.5\n"},
    {"NonTextHeadersAndDuplicateCells",
     [] {
       return WorkbookStream(Globals8(1, 2),
                             {Cat({Number(0, 0, 2009), Rec(0x0205, Cat({Head(0, 1), Bytes{1, 0}})),
                                   Label8(1, 0, "old"), Label8(1, 0, "new")})});
     },
     "COL\t2009\tTRUE\tF3\nROW\tT:new\tE\tE\n"},
    {"CompressedStringsAreLatin1WhateverTheCodePage",
     [] {
       const Bytes globals = Cat({Rec(0x0042, U16(1251)), SelfSupBook(), ExternSheet({{0, 0, 0}}),
                                  Name8("T", 0, Area3d(0, 0, 1, 0, 0))});
       return WorkbookStream(
           globals,
           {Cat({Label8(0, 0, "h"), Rec(0x0204, Cat({Head(1, 0), U16(4), Bytes{0}, Raw("caf\xE9")}))})});
     },
     "COL\th\nROW\tT:café\n"},
    {"GarbageAfterTheLastEof",
     [] {
       Bytes s = WorkbookStream(Globals8(1, 0), {Cat({Label8(0, 0, "h"), Number(1, 0, 5)})});
       for (int i = 0; i < 100; ++i) s.push_back(static_cast<std::uint8_t>(i * 37 + 11));
       return s;
     },
     "COL\th\nROW\tN:5\n"},
};

INSTANTIATE_TEST_SUITE_P(Records, BiffCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// BIFF5: 8-bit strings in the CODEPAGE's code page (1251 when there is
// none; its undefined byte 0x98 must not stop the decoding), BIFF5 NAME and
// 3-D reference layouts, stream "Book".
Bytes Biff5Stream(const Bytes& codepage, const std::string& cp1251Text) {
  const Bytes area =
      Cat({Bytes{0x3B}, U16(0xFFFF), Bytes(8, 0), U16(0), U16(0), U16(0), U16(1), Bytes{0, 0}});
  const Bytes name = Rec(0x0018, Cat({U16(0), Bytes{0, 1}, U16(static_cast<std::uint16_t>(area.size())),
                                      U16(0), U16(0), Bytes{0, 0, 0, 0}, Raw("T"), area}));
  const Bytes label =
      Rec(0x0204, Cat({Head(1, 0), U16(static_cast<std::uint16_t>(cp1251Text.size())), Raw(cp1251Text)}));
  return WorkbookStream(Cat({codepage, name}),
                        {Cat({Rec(0x0204, Cat({Head(0, 0), U16(1), Raw("h")})), label})}, 0x0500);
}

TEST(Biff5, EightBitTextInTheWorkbookCodePage) {
  // "Привет" + 0x98 in Windows-1251, with and without a CODEPAGE record.
  const std::string text = "\xCF\xF0\xE8\xE2\xE5\xF2\x98";
  EXPECT_EQ(ReadT(Biff5Stream({}, text), "Book"), "TABLE\tT\nCOL\th\nROW\tT:Привет\xEF\xBF\xBD\n");
  EXPECT_EQ(ReadT(Biff5Stream(Rec(0x0042, U16(1251)), text), "Book"),
            "TABLE\tT\nCOL\th\nROW\tT:Привет\xEF\xBF\xBD\n");
  EXPECT_EQ(ReadT(Biff5Stream(Rec(0x0042, U16(1252)), "caf\xE9"), "BOOK"), "TABLE\tT\nCOL\th\nROW\tT:café\n");
  EXPECT_EQ(Workbook::FromBytes(CompoundFileWith(Biff5Stream({}, "x"), "Book"))->BiffVersion(), 5);
}

TEST(Streams, WorkbookIsPreferredOverBook) {
  const Bytes book = Biff5Stream({}, "biff5");
  const Bytes workbook = WorkbookStream(Globals8(1, 0), {Cat({Label8(0, 0, "h"), Label8(1, 0, "biff8")})});
  const auto wb = Workbook::FromBytes(CompoundFileWithStreams({{"Book", book}, {"WORKBOOK", workbook}}));
  EXPECT_EQ(wb->BiffVersion(), 8);
  EXPECT_EQ(Dump(wb->ReadTable("T")), "TABLE\tT\nCOL\th\nROW\tT:biff8\n");
  try {
    Workbook::FromBytes(CompoundFileWith(workbook, "Other"));
    FAIL();
  } catch (const SpreadsheetError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("no workbook stream", 0), 0u) << e.what();
  }
}

TEST(Names, OnlySingleLocalAreasAreTablesAndWorkbookScopeWins) {
  const Bytes names = Cat({
      Rec(0x01AE, Cat({U16(1), U16(3), Bytes{0}, Raw("x.x")})),  // SUPBOOK 1: another workbook
      Rec(0x0017, Cat({U16(4), U16(0), U16(0), U16(0), U16(1), U16(0), U16(0), U16(0), U16(0), U16(1), U16(0),
                       U16(0xFFFF), U16(0xFFFF)})),
      Name8("Scoped", 1, Area3d(0, 0, 1, 0, 0)),            // sheet scope, hidden by the next one
      Name8("scoped", 0, Area3d(0, 0, 1, 1, 1)),            // workbook scope, spelled otherwise
      Name8("Print_Area", 1, Area3d(0, 0, 1, 0, 1), true),  // built-in
      Name8("External", 0, Area3d(1, 0, 1, 0, 0)),          // another workbook's sheet
      Name8("TwoSheets", 0, Area3d(2, 0, 1, 0, 0)),         // Sheet1:Sheet2
      Name8("Deleted", 0, Area3d(3, 0, 1, 0, 0)),           // #REF! sheet
      Name8("Const", 0, Cat({Bytes{0x1E}, U16(42)})),       // a number
      Name8("TwoTokens", 0, Cat({Area3d(0, 0, 1, 0, 0), Bytes{0x15}})),
      Name8("Local", 1, Cat({Bytes{0x25}, U16(0), U16(1), U16(0xC000), U16(0xC001)})),  // ptgArea, relative
      Name8("NoScope", 0, Cat({Bytes{0x25}, U16(0), U16(1), U16(0), U16(1)})),
      Name8("Cell", 0, Cat({Bytes{0x5A}, U16(0), U16(0), U16(1)})),  // ptgRef3d
  });
  const Bytes globals = Cat({SelfSupBook(), names});
  const Bytes sheet = Cat({Label8(0, 0, "a"), Label8(0, 1, "b"), Number(1, 0, 1), Number(1, 1, 2)});
  const auto wb = Workbook::FromBytes(CompoundFileWith(WorkbookStream(globals, {sheet, Bytes{}})));
  EXPECT_EQ(wb->TableNames(), (std::vector<std::string>{"scoped", "Local", "Cell"}));
  EXPECT_EQ(Dump(wb->ReadTable("SCOPED")), "TABLE\tscoped\nCOL\tb\nROW\tN:2\n");
  EXPECT_EQ(Dump(wb->ReadTable("local")), "TABLE\tLocal\nCOL\ta\tb\nROW\tN:1\tN:2\n");
  EXPECT_EQ(Dump(wb->ReadTable("Cell")), "TABLE\tCell\nCOL\tb\n");
  try {
    wb->ReadTable("Const");
    FAIL() << "Const is not a table";
  } catch (const SpreadsheetError& e) {
    EXPECT_STREQ(e.what(), "no table named Const");
  }
}

TEST(BadStreams, GiveErrorsThatNameTheFault) {
  // Long enough (an ignored filler record) not to be padded in the compound file.
  const Bytes good = WorkbookStream(Globals8(1, 0, Rec(0x0123, Bytes(4200, 0))),
                                    {Cat({Label8(0, 0, "h"), Number(1, 0, 5)})});
  Bytes cut = good;
  cut.resize(good.size() - 6);  // the sheet's last record runs past the end
  Bytes oldBof = good;
  oldBof[4] = 0x00;
  oldBof[5] = 0x04;  // BOF version 0x0400
  Bytes unknownBof = good;
  unknownBof[5] = 0x07;
  Bytes farSheet = good;
  for (int k = 0; k < 4; ++k) farSheet[20 + 4 + k] = 0x7F;  // BOUNDSHEET offset outside the stream
  const struct {
    Bytes stream;
    const char* message;  // the start of the message
  } cases[] = {
      {cut, "truncated record at offset "},
      {oldBof, "unsupported format: BIFF2-4"},
      {unknownBof, "unsupported BIFF version 0x0700"},
      {farSheet, "no BOF record for sheet 'Sheet1' at offset "},
      {Rec(0x0001, {}), "workbook stream does not start with a BOF record"},
  };
  for (const auto& c : cases) {
    try {
      const auto wb = Workbook::FromBytes(CompoundFileWith(c.stream));
      wb->ReadTable("T");
      ADD_FAILURE() << "no error, expected " << c.message;
    } catch (const SpreadsheetError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
  }
}

}  // namespace
}  // namespace zumt::sheet
