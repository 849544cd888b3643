#include "StatusPanel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace quenlora::ui {

namespace {

// One pixel of padding on the left, one on the right.
constexpr int kPadding = 2;

class TStatusPanelAccessible : public QAccessibleWidget {
public:
  explicit TStatusPanelAccessible(TStatusPanel* panel) : QAccessibleWidget(panel, QAccessible::StaticText) {}

  QString text(QAccessible::Text kind) const override
  {
    if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
      return static_cast<const TStatusPanel*>(widget())->ShownText().trimmed();
    return QAccessibleWidget::text(kind);
  }
};

QAccessibleInterface* StatusPanelAccessible(const QString& className, QObject* object)
{
  if (auto* panel = qobject_cast<TStatusPanel*>(object);
      panel != nullptr && className == QLatin1String(TStatusPanel::staticMetaObject.className()))
    return new TStatusPanelAccessible(panel);
  return nullptr;
}

}  // namespace

TStatusPanel::TStatusPanel(int width, TWidth rule, QWidget* parent) : QFrame(parent), width_(width), rule_(rule)
{
  static const bool accessible = (QAccessible::installFactory(StatusPanelAccessible), true);
  (void)accessible;
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  setLineWidth(1);
  if (rule_ == TWidth::FitsText)
    setSizePolicy(QSizePolicy::Fixed, sizePolicy().verticalPolicy());
  else
    setMinimumWidth(width);
}

void TStatusPanel::SetText(const QString& text)
{
  if (text == text_) return;
  const int before = TextWidth();
  text_ = text;
  if (rule_ == TWidth::FitsText && TextWidth() != before && std::max(before, TextWidth()) > width_) updateGeometry();
  update();
  QAccessibleEvent changed(this, QAccessible::NameChanged);
  QAccessible::updateAccessibility(&changed);
}

QString TStatusPanel::ShownText() const
{
  QString shown = text_;
  for (QChar& c : shown)
    if (c.unicode() < u' ') c = u' ';
  return shown;
}

int TStatusPanel::TextWidth() const
{
  const qreal advance = QFontMetricsF(font()).horizontalAdvance(ShownText());
  return static_cast<int>(std::ceil(advance)) + kPadding + 2 * frameWidth();
}

QSize TStatusPanel::sizeHint() const
{
  const int width = rule_ == TWidth::FitsText ? std::max(width_, TextWidth()) : width_;
  return {width, fontMetrics().height() + 2 * frameWidth()};
}

QSize TStatusPanel::minimumSizeHint() const
{
  return rule_ == TWidth::FitsText ? sizeHint() : QFrame::minimumSizeHint();
}

void TStatusPanel::paintEvent(QPaintEvent* event)
{
  QFrame::paintEvent(event);
  QPainter painter(this);
  const QRect area = contentsRect().adjusted(kPadding / 2, 0, 0, 0);
  painter.setClipRect(area);
  painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, ShownText());
}

void TStatusPanel::changeEvent(QEvent* event)
{
  // Another font (or the screen's scaling) may need another width.
  if (event->type() == QEvent::FontChange && rule_ == TWidth::FitsText) updateGeometry();
  QFrame::changeEvent(event);
}

}  // namespace quenlora::ui
