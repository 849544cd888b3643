// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// A small program around the list file and the export, for measuring them
// as a user meets them: each run a fresh process, a first load.
//   list_file_tool make PATH ansi|utf8 COUNT   writes a list of COUNT codes (CR LF)
//   list_file_tool load PATH                   loads the list
//   list_file_tool load-export PATH XML        loads the list, exports it combined
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "batch_error.h"
#include "batch_list_file.h"
#include "bench_codes.h"
#include "return_document.h"
#include "unicode_text.h"

using namespace quenlora;

namespace {

int Usage()
{
  std::fputs("usage: list_file_tool make PATH ansi|utf8 COUNT | load PATH | load-export PATH XML\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv)
{
  if (argc < 3) return Usage();
  const std::string_view command = argv[1];
  const std::u16string path = FromUtf8Lossy(argv[2]);
  try {
    if (command == "make" && argc == 5) {
      const std::string_view encoding = argv[3];
      if (encoding != "ansi" && encoding != "utf8") return Usage();
      TCodeBatch batch;
      bench::FillBatch(batch, std::strtoull(argv[4], nullptr, 10));
      // Every fourth code ticked, as a user's export would have some.
      for (std::ptrdiff_t i = 0; i < batch.Count(); i += 4) batch.SetWholePackage(i, true);
      batch.SetListEncoding(encoding == "ansi" ? TListEncoding::leAnsi : TListEncoding::leUtf8);
      SaveBatchList(batch, path);
      return 0;
    }
    if (command == "load" && argc == 3) {
      TCodeBatch batch;
      LoadBatchList(batch, path);
      return batch.Count() > 0 ? 0 : 1;
    }
    if (command == "load-export" && argc == 4) {
      TCodeBatch batch;
      LoadBatchList(batch, path);
      for (std::ptrdiff_t i = 0; i < batch.Count(); i += 4) batch.SetWholePackage(i, true);
      WriteReturnDocument(BuildReturnDocument(batch, xkKombi), FromUtf8Lossy(argv[3]));
      return 0;
    }
  } catch (const TBatchError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return Usage();
}
