// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "BatchListModel.h"

#include <utility>

#include "QtText.h"
#include "batch_journal.h"
#include "batch_list_file.h"

namespace quenlora::ui {

TBatchListModel::TBatchListModel(TCodeBatch& batch, QObject* parent) : QAbstractListModel(parent), batch_(batch) {}

int TBatchListModel::rowCount(const QModelIndex& parent) const
{
  return parent.isValid() ? 0 : static_cast<int>(batch_.Count());
}

QVariant TBatchListModel::data(const QModelIndex& index, int role) const
{
  if (!index.isValid() || index.row() >= batch_.Count()) return {};
  switch (role) {
    case Qt::DisplayRole:
      return ToQString(batch_.Code(index.row()));
    case Qt::CheckStateRole:
      return batch_.WholePackage(index.row()) ? Qt::Checked : Qt::Unchecked;
    default:
      return {};
  }
}

bool TBatchListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
  if (role != Qt::CheckStateRole || !index.isValid() || index.row() >= batch_.Count()) return false;
  SetWholePackage(index.row(), value.toInt() == Qt::Checked);
  return true;
}

Qt::ItemFlags TBatchListModel::flags(const QModelIndex& index) const
{
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren;
}

TScanResult TBatchListModel::AddScanned(std::u16string_view raw)
{
  // Views must hear of a new row before it exists, so the outcome is worked
  // out first; the batch then repeats the same cheap test.
  const TNormalizedScan scan = NormalizeScan(raw);
  if (!scan.Accepted) return TScanResult::srNothingToAdd;
  if (batch_.Contains(scan.Candidate)) return TScanResult::srAlreadyPresent;
  const int row = static_cast<int>(batch_.Count());
  if (journal_ != nullptr) journal_->Added(scan.Candidate);
  beginInsertRows({}, row, row);
  TScanResult result = TScanResult::srNothingToAdd;
  try {
    result = batch_.AddScanned(raw);
  } catch (...) {
    // Nothing was added (the batch undoes a failed append), but the views
    // were told a row is coming: close the insertion and have them start over.
    endInsertRows();
    beginResetModel();
    endResetModel();
    throw;
  }
  endInsertRows();
  return result;
}

bool TBatchListModel::WholePackage(int row) const { return batch_.WholePackage(row); }

void TBatchListModel::SetWholePackage(int row, bool flag)
{
  if (journal_ != nullptr && row >= 0 && row < batch_.Count()) journal_->MarkSet(row, flag);
  batch_.SetWholePackage(row, flag);
  const QModelIndex changed = index(row);
  Q_EMIT dataChanged(changed, changed, {Qt::CheckStateRole});
}

void TBatchListModel::DeleteAt(int row)
{
  if (row < 0 || row >= batch_.Count()) return;
  if (journal_ != nullptr) journal_->Deleted(row);
  beginRemoveRows({}, row, row);
  batch_.DeleteAt(row);
  endRemoveRows();
}

void TBatchListModel::Clear()
{
  if (journal_ != nullptr) journal_->Cleared();
  beginResetModel();
  batch_.Clear();
  endResetModel();
}

void TBatchListModel::LoadList(const std::u16string& path)
{
  TCodeBatch loaded;
  loaded.SetListEncoding(batch_.ListEncoding());
  LoadBatchList(loaded, path);
  beginResetModel();
  batch_ = std::move(loaded);
  // The journal's thread writes the whole new batch; the window goes on.
  if (journal_ != nullptr) journal_->Replaced();
  endResetModel();
}

void TBatchListModel::Reset()
{
  beginResetModel();
  endResetModel();
}

int TBatchListModel::FindPrefix(const QString& prefix) const
{
  if (prefix.isEmpty()) return batch_.Count() > 0 ? 0 : -1;
  QString folded = prefix;
  for (QChar& c : folded) c = c.toCaseFolded();
  const std::u16string_view wanted = ViewOf(folded);
  const std::ptrdiff_t count = batch_.Count();
  for (std::ptrdiff_t row = 0; row < count; ++row) {
    const std::u16string_view code = batch_.Code(row);
    if (code.size() < wanted.size()) continue;
    std::size_t i = 0;
    while (i < wanted.size() && QChar::toCaseFolded(static_cast<char32_t>(code[i])) == wanted[i]) ++i;
    if (i == wanted.size()) return static_cast<int>(row);
  }
  return -1;
}

}  // namespace quenlora::ui
