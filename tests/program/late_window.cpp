// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// A window that ignores the first requests to close it, the way a program
// still starting up loses the first keys sent to it: the test of the scripts
// that close a program through its window.
//   late_window TITLE IGNORED_CLOSES

#include <QApplication>
#include <QCloseEvent>
#include <QWidget>

#include <cstdlib>

namespace {

class LateWindow : public QWidget {
public:
  explicit LateWindow(int ignoredCloses) : ignoredCloses_(ignoredCloses) {}

protected:
  void closeEvent(QCloseEvent* event) override {
    if (ignoredCloses_ > 0) {
      --ignoredCloses_;
      event->ignore();
      return;
    }
    event->accept();
  }

private:
  int ignoredCloses_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  LateWindow window(argc > 2 ? std::atoi(argv[2]) : 0);
  window.setWindowTitle(QString::fromLocal8Bit(argc > 1 ? argv[1] : "late window"));
  window.resize(300, 200);
  window.show();
  return application.exec();
}
