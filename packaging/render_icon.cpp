// Draws the program's SVG icon into a square PNG of one size. The icon theme
// wants bitmaps in fixed sizes; rendering them at build time keeps the SVG
// the only drawing of the icon.
//
// Usage: quenlora_render_icon SVG SIZE PNG
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s SVG SIZE PNG\n", argc > 0 ? argv[0] : "quenlora_render_icon");
    return 2;
  }
  const QString svgPath = QString::fromLocal8Bit(argv[1]);
  const QString pngPath = QString::fromLocal8Bit(argv[3]);
  char* sizeEnd = nullptr;
  const long size = std::strtol(argv[2], &sizeEnd, 10);
  if (sizeEnd == argv[2] || *sizeEnd != '\0' || size < 1 || size > 4096) {
    std::fprintf(stderr, "invalid size \"%s\": a whole number of pixels from 1 to 4096 is expected\n", argv[2]);
    return 2;
  }

  QSvgRenderer renderer(svgPath);
  if (!renderer.isValid()) {
    std::fprintf(stderr, "cannot read the SVG image \"%s\"\n", argv[1]);
    return 1;
  }
  // A drawing that is not square keeps its proportions, centred on a clear background.
  renderer.setAspectRatioMode(Qt::KeepAspectRatio);

  const int side = static_cast<int>(size);
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(0, 0, side, side));
  }
  if (!image.save(pngPath, "PNG")) {
    std::fprintf(stderr, "cannot write the PNG image \"%s\"\n", argv[3]);
    return 1;
  }
  return 0;
}
