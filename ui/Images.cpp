#include "Images.h"

#include <QString>

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
  // Scalable pictures stay sharp at every size and device pixel ratio.
  return QIcon(QStringLiteral(":/images/%1.svg").arg(QLatin1String(name)));
}

}  // namespace

QIcon ActionImage(int index)
{
  if (index < 0 || index >= kImageCount) return {};
  return ImageFromResource(kImageFiles[index]);
}

QIcon ProgramIcon() { return ImageFromResource("vortanek"); }

}  // namespace quenlora::ui
