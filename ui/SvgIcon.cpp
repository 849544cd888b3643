// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SvgIcon.h"

#include <QFile>
#include <QWidget>

#ifdef QT_SVG_LIB

// The pictures live in a static library; its resources must be registered by hand.
static void RegisterPictures() { Q_INIT_RESOURCE(images); }

#include <QApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>
#include <cmath>
#include <memory>

namespace quenlora::ui {

namespace {

class TSvgIconEngine : public QIconEngine {
public:
  explicit TSvgIconEngine(const QString& file) : renderer_(std::make_shared<QSvgRenderer>(file)) {}

  QIconEngine* clone() const override { return new TSvgIconEngine(*this); }
  QString key() const override { return QStringLiteral("quenlora_svg"); }
  bool isNull() override { return !renderer_->isValid(); }

  // Size in device pixels.
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override
  {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (renderer_->isValid() && !size.isEmpty()) {
      QPainter painter(&image);
      renderer_->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    QPixmap drawn = QPixmap::fromImage(std::move(image));
    if (mode == QIcon::Disabled) {
      // A disabled image is greyed the way the style greys one.
      QStyleOption option;
      option.palette = QApplication::palette();
      drawn = QApplication::style()->generatedIconPixmap(mode, drawn, &option);
    }
    return drawn;
  }

  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
  {
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // The size is in device-independent pixels.
    QPixmap drawn = pixmap((QSizeF(size) * scale).toSize(), mode, state);
    drawn.setDevicePixelRatio(scale);
    return drawn;
#else
    // Before Qt 6.8 QIcon asks with the size in device pixels already.
    Q_UNUSED(scale);
    return pixmap(size, mode, state);
#endif
  }

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
  {
    const qreal scale = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
    const QSize pixels(static_cast<int>(std::ceil(rect.width() * scale)), static_cast<int>(std::ceil(rect.height() * scale)));
    QPixmap drawn = pixmap(pixels, mode, state);
    drawn.setDevicePixelRatio(scale);
    painter->drawPixmap(rect.topLeft(), drawn);
  }

private:
  TSvgIconEngine(const TSvgIconEngine& other) = default;

  std::shared_ptr<QSvgRenderer> renderer_;
};

}  // namespace

QIcon SvgIcon(const QString& file) { return QIcon(new TSvgIconEngine(file)); }

}  // namespace quenlora::ui

#endif

namespace quenlora::ui {

QPixmap MessageIcon(QStyle::StandardPixmap which, int size, const QWidget* widget)
{
  const qreal scale = widget->devicePixelRatioF();
  const QPixmap stock = widget->style()->standardIcon(which, nullptr, widget).pixmap(QSize(size, size), scale);
  if (stock.width() >= qRound(size * scale)) return stock;
#ifdef QT_SVG_LIB
  static const bool registered = (RegisterPictures(), true);
  (void)registered;
  const QString own = which == QStyle::SP_MessageBoxCritical      ? QStringLiteral(":/images/error.svg")
                      : which == QStyle::SP_MessageBoxInformation ? QStringLiteral(":/images/information.svg")
                                                                  : QString();
  if (!own.isEmpty() && QFile::exists(own)) return SvgIcon(own).pixmap(QSize(size, size), scale);
#endif
  return stock;
}

}  // namespace quenlora::ui
