// TOptionDialog: every setting of the program on five pages (slideshow, slideshow layout, image
// formats, general, columns of the file list). It holds no settings of its own: OptionsToDlgAct
// copies the live objects into the controls, DlgToOptionsAct copies the controls back, and the
// owner runs the latter only when the dialog closed with OK. OK checks the interval and the scale
// first; a refused value keeps the dialog open with the focus in its field.
#pragma once

#include <QDialog>
#include <vector>

#include "columns/ZmListColumnInfo.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class IKirvaneOptionsHost;
class TKirvaneOptions;
class TPlacePreview;
class TUpDownEdit;
class TZmColorBox;
class TZmImgView32;
class TZmListView;

// The live objects the dialog reads and writes.
struct TOptionTargets {
  TKirvaneOptions& Options;
  IKirvaneOptionsHost& Host;  // command states, the catalogue, the format table, Apply
  TZmImgView32& View;         // the slideshow's image view
  TZmListView& FileList;      // the main file list, for its columns
};

class TOptionDialog : public QDialog {
  Q_OBJECT
 public:
  TOptionDialog(const TOptionTargets& targets, QWidget* parent);

  void OptionsToDlgAct();
  void DlgToOptionsAct();
  // Factory values into the controls only.
  void DefaultAct();
  void SelectAllAct();
  void ShowColumnsPage();

  void done(int result) override;

 private:
  void CreateSlideShowPage();
  void CreateLayoutPage();
  void CreateFormatsPage();
  void CreateGeneralPage();
  void CreateColumnsPage();
  bool Validate();
  void SetScaleText(double scale);
  void ShowPlace(int code);
  void ShowColor();

  // The column editor.
  void FillColumns(const std::vector<TZmColumnEditorRow>& rows);
  std::vector<TZmColumnEditorRow> ColumnRows() const;
  void MoveColumn(int by);
  void UpdateColumnCommands();
  void ColumnsChanged(QTreeWidgetItem* item);

  TOptionTargets T_;
  QTabWidget* PageControl1 = nullptr;
  QComboBox *ComboBoxStretchFilter = nullptr, *ComboBoxSlideShowMode = nullptr, *ComboBoxSizeAdjustment = nullptr,
            *ComboBoxImgPlace = nullptr, *ComboBoxScale = nullptr, *ComboBoxFilePriority = nullptr,
            *ComboBoxImgViewMode = nullptr;
  TUpDownEdit *EditViewInterval = nullptr, *EditWidth = nullptr;
  QCheckBox *CheckBoxReverseMove = nullptr, *CheckBoxLoop = nullptr, *CheckBoxFullScreen = nullptr,
            *CheckBoxTitleBarView = nullptr, *CheckBoxBarVisible = nullptr, *CheckBoxCursorView = nullptr,
            *CheckBoxSubFolderSearch = nullptr, *CheckBoxHiddenFileView = nullptr, *CheckBoxDoNow = nullptr,
            *CheckBoxFolderBarVisible = nullptr;
  TZmColorBox* ColorBoxBG = nullptr;
  TPlacePreview* ShapeBackGround = nullptr;
  QTreeWidget *LVType = nullptr, *ListViewCE = nullptr;
  QAction *RowsUpAct = nullptr, *RowsDownAct = nullptr, *RowsShowAct = nullptr, *RowsHideAct = nullptr,
          *RowsResetAct = nullptr;
  bool ColumnsChanging_ = false;  // the change handler is off while the editor is filled or rows move
};
