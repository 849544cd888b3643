// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QPixmap>
#include <QStyle>

namespace quenlora::ui {

#ifdef QT_SVG_LIB
// An icon drawn from an SVG file by Qt SVG at exactly the size and device
// pixel ratio it is asked for: as sharp on a screen scaled to 150% or 200% as
// at 100%, and never a bitmap scaled up or down. It needs no plugin at run time.
QIcon SvgIcon(const QString& file);
#endif

// The style's standard icon of a message (information, error) at size pixels
// for the widget's screen. Where the style has it only as a smaller bitmap
// (Fusion's are 32 pixels), which would be scaled up on a screen scaled to
// 150% or 200%, the program's own picture of it is drawn from its SVG instead.
QPixmap MessageIcon(QStyle::StandardPixmap which, int size, const QWidget* widget);

}  // namespace quenlora::ui
