// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAbstractListModel>
#include <string>
#include <string_view>

#include "code_batch.h"

namespace quenlora {
class TBatchJournal;
}

namespace quenlora::ui {

// The batch as a list of checkable rows: row i is entry i, its text the code
// and its check state the whole-package mark. The codes stay in the batch;
// every change goes through this model so that views hear of it.
class TBatchListModel : public QAbstractListModel {
  Q_OBJECT

public:
  explicit TBatchListModel(TCodeBatch& batch, QObject* parent = nullptr);

  const TCodeBatch& Batch() const { return batch_; }
  // Every later change is written to the journal before the views hear of it.
  void SetJournal(TBatchJournal* journal) { journal_ = journal; }
  // The batch was put in place outside the model (a batch put back at the start).
  void Reset();

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  TScanResult AddScanned(std::u16string_view raw);
  bool WholePackage(int row) const;
  void SetWholePackage(int row, bool flag);
  void DeleteAt(int row);
  void Clear();
  // Loads the list file into a new batch first, so that a failed load
  // leaves the shown batch, its selection and its scroll position alone.
  void LoadList(const std::u16string& path);

  // The first row whose code begins with prefix, letters compared without
  // regard to case; -1 when there is none.
  int FindPrefix(const QString& prefix) const;

private:
  TCodeBatch& batch_;
  TBatchJournal* journal_ = nullptr;
};

}  // namespace quenlora::ui
