// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>

namespace quenlora::ui {

// The action images, by their number in the window's image list:
// 0 add code, 1 combined export, 2 whole packages, 3 individual strips,
// 4 new batch, 5 load list, 6 about, 7 save list.
constexpr int kImageCount = 8;
QIcon ActionImage(int index);
QIcon ProgramIcon();

}  // namespace quenlora::ui
