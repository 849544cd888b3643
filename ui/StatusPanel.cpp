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
  const QRect area = contentsRect().adjusted(2, 0, -2, 0);
  painter.setClipRect(area);
  painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text_);
}

}  // namespace quenlora::ui
