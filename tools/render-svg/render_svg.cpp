// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// Draws one of the program's SVG images into bitmaps while building, so the
// SVG stays the only drawing to edit:
//   quenlora_render_svg SVG PNG SIZE          one square PNG of SIZE pixels
//   quenlora_render_svg SVG ICO SIZE...       a Windows icon holding every SIZE
// The icon theme of Linux desktops wants PNGs in fixed sizes; Windows shows a
// program's icon from an ICO resource, and a Windows build of the program
// carries its images as PNGs so that it needs no SVG support.
#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QSvgRenderer>
#include <QtEndian>

#include <cstdio>
#include <cstdlib>

namespace {

bool ParseSize(const char* text, int& size)
{
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > 4096) {
    std::fprintf(stderr, "invalid size \"%s\": a whole number of pixels from 1 to 4096 is expected\n", text);
    return false;
  }
  size = static_cast<int>(value);
  return true;
}

QImage Render(QSvgRenderer& renderer, int side)
{
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
  renderer.render(&painter, QRectF(0, 0, side, side));
  return image;
}

QByteArray Png(const QImage& image)
{
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

void Append16(QByteArray& bytes, quint16 value)
{
  char little[2];
  qToLittleEndian(value, little);
  bytes.append(little, 2);
}

void Append32(QByteArray& bytes, quint32 value)
{
  char little[4];
  qToLittleEndian(value, little);
  bytes.append(little, 4);
}

// An ICO file whose images are PNG streams, which Windows reads since Vista:
// the directory (reserved 0, type 1 = icon, count), one 16-byte entry per
// image, then the images. A width or height of 256 is written as 0.
QByteArray Ico(const QList<QImage>& images)
{
  QByteArray directory;
  QByteArray data;
  Append16(directory, 0);
  Append16(directory, 1);
  Append16(directory, static_cast<quint16>(images.size()));
  const quint32 firstOffset = 6 + 16 * static_cast<quint32>(images.size());
  for (const QImage& image : images) {
    const QByteArray png = Png(image);
    directory.append(static_cast<char>(image.width() >= 256 ? 0 : image.width()));
    directory.append(static_cast<char>(image.height() >= 256 ? 0 : image.height()));
    directory.append('\0');  // no palette
    directory.append('\0');
    Append16(directory, 1);   // planes
    Append16(directory, 32);  // bits per pixel
    Append32(directory, static_cast<quint32>(png.size()));
    Append32(directory, firstOffset + static_cast<quint32>(data.size()));
    data.append(png);
  }
  return directory + data;
}

}  // namespace

int main(int argc, char* argv[])
{
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s SVG PNG SIZE | %s SVG ICO SIZE...\n", argv[0], argv[0]);
    return 2;
  }
  const QString output = QString::fromLocal8Bit(argv[2]);
  const bool ico = output.endsWith(QStringLiteral(".ico"), Qt::CaseInsensitive);
  if (!ico && argc != 4) {
    std::fprintf(stderr, "a PNG has one size\n");
    return 2;
  }
  QList<int> sizes;
  for (int i = 3; i < argc; ++i) {
    int size = 0;
    if (!ParseSize(argv[i], size)) return 2;
    if (ico && size > 256) {
      std::fprintf(stderr, "an icon image is at most 256 pixels\n");
      return 2;
    }
    sizes.append(size);
  }

  QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
  if (!renderer.isValid()) {
    std::fprintf(stderr, "cannot read the SVG image \"%s\"\n", argv[1]);
    return 1;
  }
  // A drawing that is not square keeps its proportions, centred on a clear background.
  renderer.setAspectRatioMode(Qt::KeepAspectRatio);

  QList<QImage> images;
  for (int size : sizes) images.append(Render(renderer, size));
  const QByteArray bytes = ico ? Ico(images) : Png(images.first());
  QFile file(output);
  if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() ||
      !file.flush()) {
    std::fprintf(stderr, "cannot write \"%s\"\n", argv[2]);
    return 1;
  }
  return 0;
}
