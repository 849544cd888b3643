// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// The window under a large batch: a scan, a load, ticking, deleting and
// scrolling, each measured until the window has repainted.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "AccessibleEventLog.h"
#include "BatchListModel.h"
#include "ColumnCheckList.h"
#include "Dialogs.h"
#include "MainForm.h"
#include "QtText.h"
#include "bench_codes.h"
#include "code_batch.h"
#include "platform/journal_file.h"

using namespace quenlora;
using namespace quenlora::ui;

namespace {

// Answers every file dialog with one path.
class TFixedDialogs : public TDialogs {
public:
  QString Path;
  bool Execute(TFileDialog& dialog, QWidget*) override
  {
    dialog.FileName = Path;
    return true;
  }
  void ShowNotice(QWidget*, const QString&, const QString&) override {}
  void ShowError(const QString& text) override { qFatal("unexpected error: %s", qPrintable(text)); }
};

QTemporaryDir& Folder()
{
  static QTemporaryDir folder;
  return folder;
}

// A list file of count distinct twelve-character codes.
QString ListFile(std::size_t count)
{
  const QString path = Folder().filePath(QStringLiteral("list-%1.txt").arg(count));
  if (QFile::exists(path)) return path;
  QByteArray bytes;
  bytes.reserve(static_cast<qsizetype>(count * 14));
  for (std::size_t i = 0; i < count; ++i) {
    bytes += ToQString(bench::MakeCode(i)).toLatin1();
    bytes += "\r\n";
  }
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) qFatal("cannot write %s", qPrintable(path));
  return path;
}

struct TWindow {
  TFixedDialogs Dialogs;
  TMain Main{Dialogs};
};

// One shown window per batch size (and with or without the batch's
// journal), loaded through the load command.
// Closed before the application goes, which their controls need.
std::map<std::pair<std::size_t, bool>, std::unique_ptr<TWindow>> windows;

TWindow& WindowWith(std::size_t count, bool journaled = false)
{
  auto& slot = windows[{count, journaled}];
  if (!slot) {
    slot = std::make_unique<TWindow>();
    if (journaled) {
      const QString folder = Folder().filePath(QStringLiteral("state-%1").arg(count));
      QDir().mkpath(folder);
      slot->Main.KeepBatch(ToU16(folder + u'/'));
      if (slot->Main.Journal() == nullptr) qFatal("the journal cannot be kept in %s", qPrintable(folder));
    }
    slot->Main.show();
    slot->Dialogs.Path = ListFile(count);
    slot->Main.A_LoadList->trigger();
    QApplication::processEvents();
  }
  // Keys reach the window's commands only while it is the active one.
  slot->Main.activateWindow();
  QApplication::setActiveWindow(&slot->Main);
  if (!QTest::qWaitForWindowActive(&slot->Main)) qFatal("the window did not become active");
  slot->Main.txtInput->setFocus();
  return *slot;
}

// Checks that the scan just made reached the batch.
bool Added(benchmark::State& state, TMain& window, std::ptrdiff_t before)
{
  if (window.Batch().Count() == before + 1 && window.txtInput->text().isEmpty()) return true;
  state.SkipWithError("the scan did not reach the batch");
  return false;
}

void Repaint(TMain&)
{
  // Paints whatever the last step marked as changed, as the event loop would next.
  QApplication::processEvents();
}

double Median(std::vector<double> values)
{
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

void ReportTimes(benchmark::State& state, const std::vector<double>& milliseconds)
{
  state.counters["median_ms"] = Median(milliseconds);
  state.counters["max_ms"] = milliseconds.empty() ? 0 : *std::max_element(milliseconds.begin(), milliseconds.end());
}

int scanNumber = 0;

QString NextUrl()
{
  return ToQString(ScanPrefix).toLower() + QStringLiteral("n%1").arg(++scanNumber, 12, 10, QChar(u'0'));
}

// The code is already in the input box; Enter through A_Input to the count
// and the list repainted. The list shows its end, so the new row is in sight.
void ScanEnter(benchmark::State& state, bool journaled = false)
{
  TMain& window = WindowWith(static_cast<std::size_t>(state.range(0)), journaled).Main;
  // The loaded list is in the journal before the scans begin.
  if (journaled) window.Journal()->WaitFlushed();
  QScrollBar* bar = window.txtSeznam->horizontalScrollBar();
  std::vector<double> times;
  for (auto _ : state) {
    state.PauseTiming();
    bar->setValue(bar->maximum());
    window.txtInput->setText(NextUrl());
    Repaint(window);
    state.ResumeTiming();
    const auto before = window.Batch().Count();
    QElapsedTimer timer;
    timer.start();
    QTest::keyClick(window.txtInput, Qt::Key_Return);
    Repaint(window);
    times.push_back(timer.nsecsElapsed() / 1e6);
    if (!Added(state, window, before)) break;
  }
  ReportTimes(state, times);
}

void BM_ScanEnter(benchmark::State& state) { ScanEnter(state); }
BENCHMARK(BM_ScanEnter)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond)->Iterations(500);

// The same with the batch kept in its journal; the second argument makes
// every flush of the journal to the disk take that many milliseconds longer,
// a slow disk, which the scans must not wait for.
void BM_ScanEnterJournal(benchmark::State& state)
{
  platform::SetJournalFlushDelay(std::chrono::milliseconds(state.range(1)));
  ScanEnter(state, true);
  platform::SetJournalFlushDelay(std::chrono::milliseconds(0));
}
BENCHMARK(BM_ScanEnterJournal)
    ->Args({1000000, 0})
    ->Args({1000000, 200})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(500);

// The same while a screen reader listens: every accessibility event the
// window sends is produced and read as a platform bridge reads it.
void BM_ScanEnterAccessible(benchmark::State& state)
{
  test::TAccessibleEventLog listening;
  ScanEnter(state);
}
BENCHMARK(BM_ScanEnterAccessible)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond)->Iterations(500);

// The same with every key of the 60-character URL typed.
void BM_ScanTypedAndEnter(benchmark::State& state)
{
  TMain& window = WindowWith(static_cast<std::size_t>(state.range(0))).Main;
  std::vector<double> times;
  for (auto _ : state) {
    state.PauseTiming();
    const QString url = NextUrl();
    const auto before = window.Batch().Count();
    state.ResumeTiming();
    QElapsedTimer timer;
    timer.start();
    QTest::keyClicks(window.txtInput, url);
    QTest::keyClick(window.txtInput, Qt::Key_Return);
    Repaint(window);
    times.push_back(timer.nsecsElapsed() / 1e6);
    if (!Added(state, window, before)) break;
  }
  ReportTimes(state, times);
}
BENCHMARK(BM_ScanTypedAndEnter)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond)->Iterations(200);

// A scanner's burst: every key of the URL and the Enter queued before the
// first is handled; all must arrive.
void BM_ScannerBurst(benchmark::State& state)
{
  TMain& window = WindowWith(static_cast<std::size_t>(state.range(0))).Main;
  window.txtInput->setFocus();
  std::vector<double> times;
  for (auto _ : state) {
    const QString url = NextUrl();
    const auto before = window.Batch().Count();
    QElapsedTimer timer;
    timer.start();
    for (const QChar c : url) {
      const int key = c.isLetter() ? Qt::Key_A + (c.toUpper().unicode() - 'A') : c.unicode();
      QCoreApplication::postEvent(window.txtInput, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, QString(c)));
      QCoreApplication::postEvent(window.txtInput, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, QString(c)));
    }
    QCoreApplication::postEvent(window.txtInput, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r"));
    QCoreApplication::postEvent(window.txtInput, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, "\r"));
    Repaint(window);
    times.push_back(timer.nsecsElapsed() / 1e6);
    if (window.Batch().Count() != before + 1 || !window.txtInput->text().isEmpty()) {
      state.SkipWithError("a keystroke was lost");
      break;
    }
  }
  ReportTimes(state, times);
}
BENCHMARK(BM_ScannerBurst)->Arg(1000000)->Unit(benchmark::kMicrosecond)->Iterations(100);

// Loading a list of a million lines through the load command until repainted.
void BM_LoadList(benchmark::State& state)
{
  TWindow& fixture = WindowWith(1000);
  const QString path = ListFile(static_cast<std::size_t>(state.range(0)));
  std::vector<double> times;
  for (auto _ : state) {
    fixture.Dialogs.Path = path;
    QElapsedTimer timer;
    timer.start();
    fixture.Main.A_LoadList->trigger();
    Repaint(fixture.Main);
    times.push_back(timer.nsecsElapsed() / 1e6);
    state.PauseTiming();
    fixture.Main.A_New->trigger();
    Repaint(fixture.Main);
    state.ResumeTiming();
  }
  ReportTimes(state, times);
}
BENCHMARK(BM_LoadList)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(5);

// A click on a check box in a million rows until repainted.
void Tick(benchmark::State& state)
{
  TMain& window = WindowWith(1000000).Main;
  TColumnCheckList* list = window.txtSeznam;
  list->horizontalScrollBar()->setValue(list->horizontalScrollBar()->maximum() / 2);
  std::vector<double> times;
  int row = list->FirstVisibleColumn() * list->RowsPerColumn();
  for (auto _ : state) {
    const QRect rect = list->RowRect(row);
    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 4, rect.center().y()));
    Repaint(window);
    times.push_back(timer.nsecsElapsed() / 1e6);
  }
  ReportTimes(state, times);
}
void BM_Tick(benchmark::State& state) { Tick(state); }
BENCHMARK(BM_Tick)->Unit(benchmark::kMicrosecond)->Iterations(200);

void BM_TickAccessible(benchmark::State& state)
{
  test::TAccessibleEventLog listening;
  Tick(state);
}
BENCHMARK(BM_TickAccessible)->Unit(benchmark::kMicrosecond)->Iterations(200);

// Delete on a selected row near the start of a million rows (the most moved).
void Delete(benchmark::State& state)
{
  TMain& window = WindowWith(1000000).Main;
  TColumnCheckList* list = window.txtSeznam;
  list->horizontalScrollBar()->setValue(0);
  list->setFocus();
  std::vector<double> times;
  for (auto _ : state) {
    state.PauseTiming();
    list->SelectRow(3);
    Repaint(window);
    state.ResumeTiming();
    QElapsedTimer timer;
    timer.start();
    QTest::keyClick(list, Qt::Key_Delete);
    Repaint(window);
    times.push_back(timer.nsecsElapsed() / 1e6);
  }
  ReportTimes(state, times);
}
void BM_Delete(benchmark::State& state) { Delete(state); }
BENCHMARK(BM_Delete)->Unit(benchmark::kMicrosecond)->Iterations(100);

void BM_DeleteAccessible(benchmark::State& state)
{
  test::TAccessibleEventLog listening;
  Delete(state);
}
BENCHMARK(BM_DeleteAccessible)->Unit(benchmark::kMicrosecond)->Iterations(100);

// Scrolling a page of columns through a million rows until repainted.
void BM_Scroll(benchmark::State& state)
{
  TMain& window = WindowWith(1000000).Main;
  QScrollBar* bar = window.txtSeznam->horizontalScrollBar();
  std::vector<double> times;
  int step = 0;
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    bar->setValue((++step * 7919) % (bar->maximum() + 1));
    window.txtSeznam->viewport()->repaint();
    times.push_back(timer.nsecsElapsed() / 1e6);
  }
  ReportTimes(state, times);
}
BENCHMARK(BM_Scroll)->Unit(benchmark::kMicrosecond)->Iterations(200);

}  // namespace

int main(int argc, char* argv[])
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  windows.clear();
  return 0;
}
