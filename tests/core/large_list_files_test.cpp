// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// List files far beyond anything a scanner produces: they load completely,
// save back byte for byte, and leave the batch usable.
#include <gtest/gtest.h>

#include <string>

#include "batch_list_file.h"
#include "test_support.h"

namespace quenlora {
namespace {

using test::ReadBytes;
using test::TScratchFolder;
using test::U16;
using test::WriteBytes;

// Saves the batch beside the original and compares the two files.
void ExpectSavedBytesEqual(const TCodeBatch& batch, const TScratchFolder& folder, const std::string& original)
{
  const auto copy = folder / "copy.txt";
  SaveBatchList(batch, U16(copy));
  const std::string saved = ReadBytes(copy);
  ASSERT_EQ(saved.size(), original.size());
  EXPECT_TRUE(saved == original) << "the saved file differs from the loaded one";
}

TEST(LargeListFiles, HundredMegabytesOnOneLine)
{
  // Upper-case ASCII and a windows-1250 letter (0xC8, "Č"), so that a scan of
  // the same text normalises to exactly this code.
  const std::string unit = "KP-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ\xC8";
  constexpr std::size_t kSize = 100u << 20;
  std::string bytes;
  bytes.reserve(kSize + 2);
  while (bytes.size() + unit.size() < kSize) bytes += unit;
  bytes.append(kSize - bytes.size(), 'Z');
  bytes += "\r\n";

  TScratchFolder folder;
  const auto path = folder / "one line.txt";
  WriteBytes(path, bytes);
  TCodeBatch batch;
  batch.SetListEncoding(TListEncoding::leUtf8);
  LoadBatchList(batch, U16(path));
  ASSERT_EQ(batch.Count(), 1);
  EXPECT_EQ(batch.ListEncoding(), TListEncoding::leAnsi);
  const std::u16string_view code = batch.Code(0);
  ASSERT_EQ(code.size(), kSize);
  EXPECT_EQ(code.substr(0, 4), u"KP-0");
  EXPECT_EQ(code[unit.size() - 1], u'\u010C');
  EXPECT_EQ(code.back(), u'Z');

  ExpectSavedBytesEqual(batch, folder, bytes);

  // The duplicate rule still holds for a code of this size.
  const std::u16string scan(code);
  EXPECT_EQ(batch.AddScanned(scan), TScanResult::srAlreadyPresent);
  EXPECT_EQ(batch.AddScanned(u"K1"), TScanResult::srAdded);
  EXPECT_EQ(batch.Count(), 2);
}

TEST(LargeListFiles, TenMillionEmptyLines)
{
  constexpr std::ptrdiff_t kLines = 10'000'000;
  std::string bytes;
  bytes.reserve(2 * kLines);
  for (std::ptrdiff_t i = 0; i < kLines; ++i) bytes += "\r\n";

  TScratchFolder folder;
  const auto path = folder / "empty lines.txt";
  WriteBytes(path, bytes);
  TCodeBatch batch;
  LoadBatchList(batch, U16(path));
  ASSERT_EQ(batch.Count(), kLines);
  for (std::ptrdiff_t i : {std::ptrdiff_t{0}, kLines / 2, kLines - 1}) {
    EXPECT_TRUE(batch.Code(i).empty()) << i;
    EXPECT_FALSE(batch.WholePackage(i)) << i;
  }

  ExpectSavedBytesEqual(batch, folder, bytes);

  // Empty entries never count as duplicates, so scans go on as usual.
  EXPECT_EQ(batch.AddScanned(u"K1"), TScanResult::srAdded);
  EXPECT_EQ(batch.AddScanned(u"k1"), TScanResult::srAlreadyPresent);
  EXPECT_EQ(batch.Count(), kLines + 1);
  EXPECT_EQ(batch.Code(kLines), u"K1");
}

}  // namespace
}  // namespace quenlora
