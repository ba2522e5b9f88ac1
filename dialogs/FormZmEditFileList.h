// TFormZmEditFileList, "リストエディター": the user reviews and prunes a list of folder paths
// (the recent folders). Rows can be sorted, renumbered, deleted, purged of paths that no longer
// exist, or cleared; OK hands the list back in the order of its numbers, Cancel changes nothing.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "EtcLists/ZmEditFileNameList.h"
#include "columns/ZmListColumnInfo.h"

class QLabel;
class TZmListView;

class TFormZmEditFileList : public QDialog {
  Q_OBJECT

 public:
  TFormZmEditFileList(const std::vector<std::string>& list, QWidget* owner);
  ~TFormZmEditFileList() override;

  // The edited list, in the order of the numbers.
  std::vector<std::string> Result() const { return Entries_.SaveToStrings(); }
  TZmListView* ListView() const { return ZmListView1; }

  void ActNumberExecute();
  void ActDeleteExecute();
  void ActDeleteInvalidFoldersExecute();
  void ActClearExecute();

 private:
  void ColumnClick(int column);
  void Redraw();
  void ActSetStatusBarTextExecute();

  TZmEditFileNameList Entries_;
  TZmColumnInfos ZmColumnInfos1;
  TZmListView* ZmListView1 = nullptr;
  QLabel* Panels_[2] = {};
};

// Opens the editor on `list`, window-modal to `owner`; `done` runs when it closes, with whether
// the user left with OK (the list is then replaced by the edited one).
void ExecuteEditFileList(QWidget* owner, std::vector<std::string>& list, std::function<void(bool ok)> done);
