// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// A small program around the list file and the export, for measuring them
// as a user meets them: each run a fresh process, a first load.
//   list_file_tool make PATH ansi|utf8 COUNT   writes a list of COUNT codes (CR LF)
//   list_file_tool load PATH                   loads the list
//   list_file_tool load-export PATH XML        loads the list, exports it combined
//   list_file_tool make-journal FOLDER PATH    loads the list into a run whose
//                                              batch is journaled in FOLDER, ticks
//                                              every fourth code, and ends the run
//                                              without the user's close
//   list_file_tool restore FOLDER              a start that puts the batch back
//                                              from FOLDER, until the window could
//                                              show it (the new journal is still
//                                              being written when it ends: give
//                                              each run a fresh copy of FOLDER)
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "batch_error.h"
#include "batch_journal.h"
#include "batch_list_file.h"
#include "bench_codes.h"
#include "return_document.h"
#include "unicode_text.h"

using namespace quenlora;

namespace {

int Usage()
{
  std::fputs("usage: list_file_tool make PATH ansi|utf8 COUNT | load PATH | load-export PATH XML"
             " | make-journal FOLDER PATH | restore FOLDER\n", stderr);
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
    if (command == "make-journal" && argc == 4) {
      TCodeBatch batch;
      TJournalStart start = StartBatchJournal(batch, path);
      if (!start.Journal || batch.Count() != 0) return 1;
      LoadBatchList(batch, FromUtf8Lossy(argv[3]));
      start.Journal->Replaced();
      for (std::ptrdiff_t i = 0; i < batch.Count(); i += 4) {
        start.Journal->MarkSet(i, true);
        batch.SetWholePackage(i, true);
      }
      start.Journal->Finish();
      return 0;
    }
    if (command == "restore" && argc == 3) {
      TCodeBatch batch;
      TJournalStart start = StartBatchJournal(batch, path);
      if (!start.Restored || !start.Journal) return 1;
      // What follows, the new journal written behind the window, is not
      // waited for: the process ends as if killed.
      std::fflush(nullptr);
      std::_Exit(0);
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
