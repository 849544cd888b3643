// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFont>

namespace quenlora::ui {

// Tahoma at a size in pixels at 96 dpi; where the system has no Tahoma, the
// closest sans-serif (a condensed humanist face first, as Tahoma is one).
QFont TahomaFont(int pixelSize, bool bold = false);

}  // namespace quenlora::ui
