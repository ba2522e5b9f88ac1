// TFormKirvane: the main window. A folder tree on the left; on the right the file list of the
// chosen folder (virtual rows drawn from the catalogue) above an optional preview; tool bars
// with the navigation commands and the address combo; a status bar.
//
// Every command is a QAction. The window is split by concern over several files:
//   MainWin.cpp            life cycle, layout, titles, hand-over, settings host
//   MainWinActions.cpp     the command table, menus, tool bars, popup menus
//   MainWinNavigation.cpp  MoveFolder and friends, the folder tree, navigation commands, recent folders
//   MainWinList.cpp        the file list: cells, find, sorting, selection memory, status bar, keys
//   MainWinPreview.cpp     the preview pane
//   MainWinState.cpp       the idle-time command state
//   MainWinHelp.cpp        the help menu: help page, program folder, about box
// User-interface thread only.
#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <memory>
#include <string>

#include "app/RecentFolders.h"
#include "app/ZmRecentControl.h"
#include "catalogue/ZmFileInfos.h"
#include "columns/ZmListColumnInfo.h"
#include "dialogs/FileCommands.h"
#include "imageview/ZmGraphicExItemList.h"
#include "jpeg/ZmJpegChecker.h"
#include "imageview/ZmImageLoader.h"
#include "imageview/ZmImgView32.h"
#include "options/IniFile.h"
#include "options/OptionsKv.h"
#include "slideshow/FormImage.h"

class QAction;
class QActionGroup;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;
class QToolButton;
class QTreeView;
class IFileTypeProvider;
class TImgView32;
class TZmListView;
class TOptionDialog;
struct TZmListCell;
class TZmRecentMenus;

// Loads Qt's own Japanese texts (message box buttons, the folder chooser): the interface is
// Japanese whatever the locale. False when the translation is not installed.
bool InstallQtJapaneseTexts();

class TFormKirvane : public QMainWindow, public IKirvaneOptionsHost, public IFormImageHost {
  Q_OBJECT
 public:
  // `startPath`: the first command-line argument (bytes), or empty.
  explicit TFormKirvane(std::string startPath = {}, QWidget* parent = nullptr);
  ~TFormKirvane() override;

  // ---- Navigation (every way of opening a folder ends in one of these) ----
  // Goes to a folder, or to a file's folder with the file to be focused and selected; records
  // the history. An invalid path reports "無効なフォルダです。" in status panel 0.
  void MoveFolder(const std::string& path);
  // Lists the current folder again, keeping its history entry and selection.
  void ReloadFolder(const std::string& path);
  // Lists a folder that is already the current history entry.
  void ShowHistoryFolder(const std::string& path);
  void StopAndClearList();

  // ---- Process-wide values ----
  int NowIndex = -1;         // the slideshow's image in the visible list; -1 when the list is empty
  bool KeyDownSeen = false;  // a key went down in the list, the tree or the address combo

  // ---- For tests and the slideshow ----
  TZmFileInfos& FileInfos() { return ZmFileInfos1; }
  TZmListView* FileListView() const { return LVFiles; }
  TZmRecentControl& History() { return ZmRecentControl1; }
  const TRecentFolders& RecentFolders() const { return RecentFolders_; }
  TKirvaneOptions& AppOptions() { return *AppOptions_; }
  QComboBox* AddressCombo() const { return CBRecent; }
  QTreeView* FolderTree() const { return STV; }
  TImgView32* Preview() const { return ImgView32; }
  TZmImageLoader& PreviewLoader() { return PreviewLoader_; }
  TFormImage* FormImage() const { return FormImage_.get(); }
  TFileCommands& FileCommands() override { return *FileCommands_; }
  QDialog* FindDialog() const { return FindDialog1; }
  QString StatusText(int panel) const;
  QAction* Action(const char* objectName) const;
  // Runs the first-activation steps now (tests; normally the first activation runs them).
  void FirstActivate();
  void UpdateTitles();
  // Recomputes the enabled and checked state of every command (normally done when idle).
  void ActionList1Update();
  // The index of a file in the visible list, -1 when it is not listed.
  int IndexOfFile(const std::string& fullPath) const;
  // Executes an action the way a menu or a key does: nothing when it is disabled.
  static bool ExecuteAction(QAction* action);

 protected:
  bool event(QEvent* e) override;
  void changeEvent(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  // MainWin.cpp
  void FormCreate();
  void FormActivate();
  void FormClose();
  // True unless a file operation runs and the user wants it to go on.
  bool MayStopFileOperation();
  void OnHandOver(const std::string& path);
  void InstallLocaleFormats();
  void KeepUnreadableSettingsFiles();

  // MainWinActions.cpp
  void CreateActions();
  void CreateMenus();
  void CreateToolBars();
  void ConnectCommands();
  // MainWinHelp.cpp
  void ConnectHelpCommands();

  // MainWinNavigation.cpp
  void CreateFolderTree();
  void SetTreeModel();
  // Selects a folder in the tree (its nearest existing parent when it has gone), scrolled into view.
  void SelectTreeFolder(std::string path);
  std::string TreePath() const;
  void STVChange();
  void SyncFolderTree(const std::string& path);
  void RefreshFolderTree();
  void STVKeyUp(int key, Qt::KeyboardModifiers modifiers);
  void DeleteTreeFolder();
  void ZmFileInfos1Terminate();
  void ZmRecentControl1AddJudge(const TZmRecentItem* nowItem, const TZmRecentItem& addItem, bool& addFlag);
  void ZmRecentControl1MenuItemCaptionSetEvent(const TZmRecentItem& item, std::string& caption);
  void ZmRecentControl1MenuItemClick(TZmRecentItem* preItem, TZmRecentItem* nowItem);
  void ShowInvalidFolder(const std::string& path);
  // Lists a folder again; with `leaving`, the current entry takes its remembered selection.
  void ListAgain(const std::string& path, const TZmRecentItem* leaving);
  void StartListing(const std::string& folder);
  void StopActExecute();
  void RefreshExecute(QAction* sender);
  void RefreshFolders();
  void RefreshFiles();
  void SubFolderSearchActExecute();
  void HiddenFileViewActExecute();
  void FolderBarVisibleActExecute();
  void BackActExecute();
  void ForwardActExecute();
  void UpFolderActExecute();
  void GoActExecute();
  void MoveThisFolderActExecute();
  void SelectFolderActExecute();
  void CBRecentSelect();
  void CBRecentKeyUp(int key, Qt::KeyboardModifiers modifiers);
  // The combo's text and the path it stands for (the bytes of a name that is not UTF-8).
  void SetAddressText(const std::string& path);
  std::string AddressPath() const;
  bool PrepareRun();
  void FillRecentCombo();
  void ShowUnreadable(const std::vector<TZmUnreadable>& unreadable);
  void OnFolderSearched(const TZmFolderSearched& progress);

  // MainWinList.cpp
  void CreateFileList();
  TZmListCell LVFilesData(int row, int kind) const;
  int LVFilesDataFind(const QString& text, int start, bool wrap) const;
  void LVFilesColumnClick(int column);
  // The catalogue takes the list's sort column and direction and sorts again, keeping the selection.
  void SortAsTheList();
  void StoreSelection(TZmRecentItem* item) const;
  void RestoreSelection(std::vector<std::string>& files, const std::string& focused);
  void UpdateStatusBar();
  void UpdateVisibleItems();
  void SetRowCount(int count);
  void KeyWentDown(int key, Qt::KeyboardModifiers modifiers);
  // For a key released in the list, the tree or the address combo: whether it acts, and the
  // modifiers it acts with.
  bool KeyCameUp(int key, Qt::KeyboardModifiers& modifiers);
  void LVFilesKeyUp(int key, Qt::KeyboardModifiers modifiers);
  void LVFilesClick();
  void LVFilesDblClick();
  void ClickRunButton();
  // The common start of both slideshow commands; `sender` carries the mode as its tag.
  void ShowBaseActExecute(QAction* sender);
  void NameCopyActExecute();
  void SelectAllActExecute();
  void SelectChangeActExecute();

  // MainWinCommands.cpp
  // The records of the selected rows in row order; none while a listing runs.
  std::vector<const TZmFileInfo*> SelectedFiles() const;
  void OpenShellActExecute();
  void OpenExplorerActExecute();
  void OpenFolderActExecute();
  void TransferActExecute(TFileTransfer kind);
  void DeleteFileActExecute();
  // Options and column settings; `sender` carries the page to open as its tag.
  void OptionDetailActExecute(QAction* sender);
  void ApplyOptionDialog(TOptionDialog& dialog);
  void SearchFindActExecute();
  void CreateFindDialog();
  void FindDialog1Find();
  void CreateDropTargets();

  // MainWinCheck.cpp
  void CreateJpegChecker();
  void JpegErrorCheckAllActExecute();
  void ShowCheckProgress();
  void ZmThreadJpegChecker1Terminate();
  void SelectErrorsActVtExecute();

  // MainWinPreview.cpp
  void CreatePreview();
  void ImgLoadActExecute();
  void IVNoneActExecute();
  void IVScaleNormalActExecute();
  void IVAutoScaleLongActExecute();
  void ImgCloseActExecute();
  void ImgCopyActExecute();
  void ImgNameCopyActExecute();
  std::string FocusedPreviewFile() const;
  void RequestPreview(const std::string& path, bool full, bool copy = false);
  void PreviewLoaded(const std::string& path, const TZmLoadedImage& image);
  void DropPreviewLoad(bool listChanged);
  void ImgView32MouseDown(Qt::MouseButton button, const QPoint& globalPos);
  void ImgView32MouseMove(Qt::MouseButtons buttons, const QPoint& globalPos);
  void ImgView32Wheel(bool down);
  void ImgView32DblClick();

  // MainWinState.cpp
  void InstallIdleUpdate();

  // IKirvaneOptionsHost (MainWin.cpp)
  bool Loop() const override { return FormImage_->Loop(); }
  void SetLoop(bool v) override { FormImage_->SetLoop(v); }
  int32_t ViewInterval() const override { return FormImage_->ViewInterval(); }
  void SetViewInterval(int32_t ms) override { FormImage_->SetViewInterval(ms); }
  bool BarVisible() const override { return FormImage_->BarVisible(); }
  void SetBarVisible(bool v) override { FormImage_->SetBarVisible(v); }
  bool DoNow() const override;
  void SetDoNow(bool v) override;
  bool FolderBarVisible() const override;
  void SetFolderBarVisible(bool v) override;
  TZmThreadFileInfoList& FileList() override { return ZmFileInfos1.List(); }
  TZmGraphicExItemList& Formats() override;
  void LoadColumns(const TMemIniFile& ini) override;
  void SaveColumns(TMemIniFile& ini) override;
  void LoadImageView(const TMemIniFile& ini) override;
  void SaveImageView(TMemIniFile& ini) override;
  void ApplyOptions(uint8_t imgViewMode) override;
  void ApplySortColumn() override;

  // IFormImageHost (MainWinList.cpp)
  int SlideCount() const override;
  std::string_view SlideFolder(int index) const override;
  std::string SlidePath(int index) const override;
  int SlideNowIndex() const override { return NowIndex; }
  void SetSlideNowIndex(int index) override { NowIndex = index; }
  uint8_t SlideShowMode() const override { return AppOptions_->ShowMode; }
  void SetSlideShowMode(uint8_t mode) override { AppOptions_->ShowMode = mode; }
  void SlideShown(int index) override;
  void SlideShowEnded(int index) override;

  // ---- Process-wide objects of the window ----
  std::string StartPath_;
  std::unique_ptr<TMemIniFile> AppIniFile;
  TRecentFolders RecentFolders_;
  TSettingsFileStatus RecentFileStatus_;
  std::unique_ptr<TKirvaneOptions> AppOptions_;
  bool FirstActivated_ = false;
  bool Closing_ = false;
  struct {
    int Key = 0;
    Qt::KeyboardModifiers Modifiers;
  } KeyDown_;  // the last key other than a modifier that went down, with its modifiers

  // ---- Components ----
  std::unique_ptr<IFileTypeProvider> FileTypes_;
  TZmFileInfos ZmFileInfos1;
  TZmThreadJpegChecker ZmThreadJpegChecker1;  // works on ZmFileInfos1's records: declared after it
  TZmRecentControl ZmRecentControl1;
  TZmColumnInfos ZmColumnInfosKv;
  TZmRecentMenus* RecentMenus_ = nullptr;
  std::unique_ptr<TFormImage> FormImage_;  // the slideshow window, hidden until a slideshow starts
  std::unique_ptr<TFileCommands> FileCommands_;  // copy, move and delete of both windows
  int FoldersSearched_ = 0;

  // ---- Widgets ----
  QToolBar* ToolBar1 = nullptr;
  QToolBar* ToolBar2 = nullptr;
  QToolButton* TBtnBack = nullptr;
  QToolButton* TBtnForward = nullptr;
  QToolButton* TBtnRefresh = nullptr;
  QToolButton* TBtnRun = nullptr;
  QToolButton* TBtnGo = nullptr;
  QComboBox* CBRecent = nullptr;
  std::string AddressPath_;
  QSplitter* Splitter1 = nullptr;
  QSplitter* Splitter2 = nullptr;
  QTreeView* STV = nullptr;
  QFileSystemModel* STVModel = nullptr;
  bool STVChangeAttached_ = false;
  int TreeRowsLeaving_ = 0;  // inside the tree model's removal of rows
  bool TreeFollowsSelection_ = false;  // keep the selected node in view while folders load
  TZmListView* LVFiles = nullptr;
  TImgView32* ImgView32 = nullptr;
  QLabel* SBPanels[4] = {};
  QPointer<QDialog> FindDialog1;  // created at its first use
  QString FindText_;              // the find dialog's text, also for find-next without the dialog
  QMenu* PMLVFiles = nullptr;
  QMenu* PMImgView = nullptr;
  QMenu* PMBack = nullptr;
  QMenu* PMForward = nullptr;
  QMenu* PMRefresh = nullptr;
  QMenu* PMRunKv = nullptr;
  QMenu* RunMenu = nullptr;  // "実行(&R)"
  QAction* SelectErrors1 = nullptr;
  QActionGroup* IVGroup = nullptr;
  bool ImgDragging_ = false;
  QPoint ImgDragLast_;
  std::string PreviewPath_;  // the file the preview shows
  bool PreviewReduced_ = false;  // the pane shows it smaller than it is, as fitting needs no more
  std::string PreviewCopyPath_;  // the file whose full picture is on its way to the clipboard
  TZmImageLoader PreviewLoader_;
  bool ListingCursor_ = false;
  bool CheckCursor_ = false;  // the busy cursor of a running JPEG check
  const TZmRecentItem* ListingEntry_ = nullptr;  // the history entry the running listing is for; never dereferenced

  // ---- Commands ----
  QAction *StopAct, *RefreshAct, *RefreshAllAct, *RefreshFoldersAct, *RefreshFilesAct, *SubFolderSearchAct,
      *HiddenFileViewAct, *DoNowAct, *FolderBarVisibleAct, *BackAct, *ForwardAct, *UpFolderAct, *MoveThisFolderAct,
      *MoveAct, *GoAct, *SelectFolderAct, *IVNoneAct, *IVScaleNormalAct, *IVAutoScaleLongAct, *ImgCloseAct,
      *ImgCopyAct, *ImgNameCopyAct, *CopyFileAct, *MoveFileAct, *DeleteFileAct, *NameCopyAct, *OpenShellAct,
      *OpenExplorerAct, *OpenFolderAct, *SelectAllAct, *SelectChangeAct, *SearchFindAct, *SearchFindNextAct,
      *ShowAct, *ShowManualAct, *ShowAutoAct, *JpegErrorCheckAllAct, *SelectErrorsActVt, *ColumnsEditAct,
      *OptionDetailAct, *ActRecentEdit, *ZmExitAction1, *ZmOpenDeskAction1, *ZmViewHelpHtmlActionKv,
      *ZmOpenAppFolderAction1, *ZmAboutActionKv;
};
