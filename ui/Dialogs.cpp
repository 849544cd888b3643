// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Dialogs.h"

#include <utility>

namespace quenlora::ui {

TFileDialog::TFileDialog(QString name, TKind kind, QList<TFileType> fileTypes, QString defaultExtension)
    : name_(std::move(name)), kind_(kind), fileTypes_(std::move(fileTypes)), defaultExtension_(std::move(defaultExtension))
{
}

}  // namespace quenlora::ui
