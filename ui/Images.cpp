// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Images.h"

#include <QFile>
#include <QSize>
#include <QString>

#include "SvgIcon.h"

// The images live in a static library; its resources must be registered by hand.
static void RegisterImages() { Q_INIT_RESOURCE(images); }

namespace quenlora::ui {

namespace {

const char* const kImageFiles[kImageCount] = {
    "add_code", "export_kombi", "export_full", "export_single", "new_batch", "load_list", "about", "save_list",
};

QIcon ImageFromResource(const char* name)
{
  static const bool registered = (RegisterImages(), true);
  (void)registered;
#ifdef QT_SVG_LIB
  // Scalable pictures, drawn by Qt SVG at the size and device pixel ratio
  // asked for, stay sharp at every scaling of the screen.
  const QString svg = QStringLiteral(":/images/%1.svg").arg(QLatin1String(name));
  if (QFile::exists(svg)) return SvgIcon(svg);
#endif
#ifdef QUENLORA_PNG_IMAGES
  // Drawn from the SVGs while building, one bitmap for each scaling the
  // screen may have; the icon picks the one that fits.
  QIcon icon;
  const QString prefix = QStringLiteral(":/images/%1_").arg(QLatin1String(name));
  for (int size : {16, 24, 32, 36, 48, 64, 128, 256}) {
    const QString file = prefix + QString::number(size) + QStringLiteral(".png");
    if (QFile::exists(file)) icon.addFile(file, QSize(size, size));
  }
  return icon;
#else
  // Scalable pictures stay sharp at every size and device pixel ratio.
  return QIcon(QStringLiteral(":/images/%1.svg").arg(QLatin1String(name)));
#endif
}

}  // namespace

QIcon ActionImage(int index)
{
  if (index < 0 || index >= kImageCount) return {};
  return ImageFromResource(kImageFiles[index]);
}

QIcon ProgramIcon() { return ImageFromResource("vortanek"); }

}  // namespace quenlora::ui
