#include "StatusPanel.h"

#include <QPainter>

namespace quenlora::ui {

TStatusPanel::TStatusPanel(int width, QWidget* parent) : QFrame(parent), width_(width)
{
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  setLineWidth(1);
  setMinimumWidth(width);
}

void TStatusPanel::SetText(const QString& text)
{
  if (text == text_) return;
  text_ = text;
  update();
}

QSize TStatusPanel::sizeHint() const { return {width_, fontMetrics().height() + 2 * frameWidth()}; }

void TStatusPanel::paintEvent(QPaintEvent* event)
{
  QFrame::paintEvent(event);
  QPainter painter(this);
  // One pixel of padding on the left only: "Počet: 1000000" must fit in 80 pixels.
  const QRect area = contentsRect().adjusted(1, 0, 0, 0);
  painter.setClipRect(area);
  painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text_);
}

}  // namespace quenlora::ui
