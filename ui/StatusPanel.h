#pragma once

#include <QFrame>

namespace quenlora::ui {

// One panel of a status bar: a sunken box with one line of text. Line breaks
// in the text are drawn as blanks; the text itself is kept as given.
class TStatusPanel : public QFrame {
  Q_OBJECT

public:
  TStatusPanel(int width, QWidget* parent = nullptr);

  const QString& Text() const { return text_; }
  void SetText(const QString& text);

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QString text_;
  int width_;
};

}  // namespace quenlora::ui
