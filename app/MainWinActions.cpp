// The main window's commands, menus, tool bars and popup menus.
#include <QActionGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "app/Actions.h"
#include "app/MainWin.h"
#include "dialogs/FormZmEditFileList.h"
#include "app/ZmRecentMenus.h"

namespace {

// One command: its name, category, caption, hint ("tooltip|status text"), Tag and kind.
struct TActionSpec {
  QAction* TFormKirvane::*Member;
  const char* Name;
  const char* Category;
  const char* Caption;
  const char* Hint;
  int Tag;
  bool Checkable;
};


// "-" in a menu list is a separator.
QAction* const Separator = nullptr;

QMenu* SubMenu(QMenu* parent, QAction* action) {
  auto* sub = new QMenu(parent);
  action->setMenu(sub);
  parent->addAction(action);
  return sub;
}

}  // namespace

void TFormKirvane::CreateActions() {
  // The command table (inside a member so that it may name the window's members).
#define KV_ACTION(name) &TFormKirvane::name, #name
// clang-format off
  static const TActionSpec ActionSpecs[] = {
  {KV_ACTION(StopAct), "View", "中止(&P)", "中止|中止します。", 0, false},
  {KV_ACTION(RefreshAct), "View", "更新(&R)", "更新|更新の種類を選択。", 0, false},
  {KV_ACTION(RefreshAllAct), "View", "最新の情報に更新(&R)", "更新|フォルダとファイルを最新の情報に更新します。", 0, false},
  {KV_ACTION(RefreshFoldersAct), "View", "フォルダ情報を更新(&R)", "更新|フォルダのみを最新の情報に更新します。", 1, false},
  {KV_ACTION(RefreshFilesAct), "View", "ファイル情報を更新(&R)", "更新|ファイルのみを最新の情報に更新します。", 2, false},
  {KV_ACTION(SubFolderSearchAct), "View", "サブフォルダも検索(&U)", "サブフォルダも検索|サブフォルダも検索を切り替えます。", 0, true},
  {KV_ACTION(HiddenFileViewAct), "View", "隠しファイルを表示(&I)", "隠しファイルを表示|隠しファイルを表示を切り替えます。", 0, true},
  // Caption and hint are set at the first activation, from the slideshow's own "do now" command.
  {KV_ACTION(DoNowAct), "View", "", "", 0, true},
  {KV_ACTION(FolderBarVisibleAct), "View", "フォルダ(&F)", "フォルダ|フォルダを表示します。", 0, true},
  {KV_ACTION(BackAct), "Move", "戻る(&B)", "戻る|前に戻ります。", 0, false},
  {KV_ACTION(ForwardAct), "Move", "進む(&F)", "進む|次に進みます。", 0, false},
  {KV_ACTION(UpFolderAct), "Move", "1 つ上のフォルダへ(&U)", "上へ|現在開いているフォルダの、1 つ上のフォルダに移動します。", 0, false},
  {KV_ACTION(MoveThisFolderAct), "Move", "このフォルダに移動(&M)", "このフォルダに移動|フォーカスのあるファイルのフォルダに移動します。", 0, false},
  {KV_ACTION(MoveAct), "Move", "移動(&M)", "移動|いろいろな移動を選択します。", 0, false},
  {KV_ACTION(GoAct), "Others", "", "移動|指定したフォルダに移動します。", 0, false},
  {KV_ACTION(SelectFolderAct), "File", "フォルダを選択(&F)...", "フォルダを選択|フォルダを選択", 0, false},
  {KV_ACTION(IVNoneAct), "ViewImage", "表示しない(&N)", "表示しない|表示しない", 0, true},
  {KV_ACTION(IVScaleNormalAct), "ViewImage", "実寸表示(&1)", "実寸表示|実寸表示", 1, true},
  {KV_ACTION(IVAutoScaleLongAct), "ViewImage", "自動倍率(&L)", "自動倍率|自動倍率", 2, true},
  {KV_ACTION(ImgCloseAct), "ImgView", "画像を閉じる(&L)", "画像を閉じる|表示している画像を閉じます。", 0, false},
  {KV_ACTION(ImgCopyAct), "ImgView", "画像のコピー(&C)", "画像のコピー|表示している画像を実寸でクリップボードにコピーします。", 0, false},
  {KV_ACTION(ImgNameCopyAct), "ImgView", "画像ファイル名のコピー(&N)", "画像ファイル名のコピー|表示している画像ファイルのフルパスをクリップボードにコピーします。", 0, false},
  {KV_ACTION(CopyFileAct), "Edit", "フォルダへコピー(&O)...", "フォルダへコピー|選択したファイルをフォルダへコピーします。", 0, false},
  {KV_ACTION(MoveFileAct), "Edit", "フォルダへ移動(&V)...", "フォルダへ移動|選択したファイルをフォルダへ移動します。", 0, false},
  {KV_ACTION(DeleteFileAct), "File", "ファイルを削除(&D)", "ファイルを削除|選択しているファイルを削除します。更新しないとリストに反映されません。", 0, false},
  {KV_ACTION(NameCopyAct), "File", "ファイル名のコピー(&N)", "ファイル名のコピー|フォーカスのあるファイルのフルパスを、クリップボードにコピーします。", 0, false},
  {KV_ACTION(OpenShellAct), "File", "アプリケーションから開く(&H)", "アプリケーションから開く|選択しているファイルをアプリケーションから開きます。", 0, false},
  {KV_ACTION(OpenExplorerAct), "File", "エクスプローラ(&E)", "エクスプローラ|選択しているファイルをエクスプローラで開きます。", 0, false},
  {KV_ACTION(OpenFolderAct), "File", "フォルダを開く(&O)", "フォルダを開く|選択しているファイルのフォルダ、または現在のフォルダを開きます。", 0, false},
  {KV_ACTION(SelectAllAct), "Edit", "すべて選択(&A)", "すべて選択|すべてのファイルを選択します。", 0, false},
  {KV_ACTION(SelectChangeAct), "Edit", "選択の切り替え(&I)", "選択の切り替え|選択の切り替えを行います。", 0, false},
  {KV_ACTION(SearchFindAct), "Edit", "検索(&F)...", "検索|指定された文字列を検索する", 0, false},
  {KV_ACTION(SearchFindNextAct), "Edit", "次を検索(&N)", "次を検索|直前の検索を繰り返す", 0, false},
  {KV_ACTION(ShowAct), "KvRun", "スライドショー(&S)", "スライドショー|スライドショーの種類を選択。", 0, false},
  {KV_ACTION(ShowManualAct), "KvRun", "手動スライドショー(&M)", "手動スライドショー|手動画像切り替えで、スライドショーを実行します。", 0, false},
  {KV_ACTION(ShowAutoAct), "KvRun", "自動スライドショー(&A)", "自動スライドショー|自動画像切り替えで、スライドショーを実行します。", 1, false},
  {KV_ACTION(JpegErrorCheckAllAct), "VtRun", "すべてエラーチェック(&E)", "すべてエラーチェック|すべてエラーチェック", 0, false},
  {KV_ACTION(SelectErrorsActVt), "Edit", "エラーを選択(&R)", "エラーを選択|エラーをすべて選択します。エラーチェック後に有効です。", 0, false},
  {KV_ACTION(ColumnsEditAct), "View", "列の設定(&N)...", "列の設定|列の設定", 1, false},
  {KV_ACTION(OptionDetailAct), "Tools", "オプション(&O)...", "オプション|オプション", 0, false},
  {KV_ACTION(ActRecentEdit), "Tools", "履歴の編集(&E)...", "履歴の編集|履歴の編集", 0, false},
  {KV_ACTION(ZmExitAction1), "File", "終了(&X)", "終了|アプリケーションを終了します。", 0, false},
  {KV_ACTION(ZmOpenDeskAction1), "View", "画面のプロパティ(&E)", "「画面のプロパティ」を表示します。", 0, false},
  {KV_ACTION(ZmViewHelpHtmlActionKv), "Help", "ヘルプ(&H)", "ヘルプ|ヘルプのHTMLを開きます。", 0, false},
  {KV_ACTION(ZmOpenAppFolderAction1), "Help", "アプリケーションのフォルダを開く(&O)", "アプリケーションのフォルダを開く|アプリケーションのフォルダを開く", 0, false},
  {KV_ACTION(ZmAboutActionKv), "Help", "バージョン情報(&A)", "バージョン情報|バージョン情報を表示します。", 0, false},
};
// clang-format on
#undef KV_ACTION
  for (const TActionSpec& spec : ActionSpecs) {
    auto* a = new QAction(QString::fromUtf8(spec.Caption), this);
    a->setObjectName(QString::fromLatin1(spec.Name));
    a->setProperty("category", QString::fromLatin1(spec.Category));
    a->setProperty("tag", spec.Tag);
    a->setCheckable(spec.Checkable);
    SetActionHint(*a, QString::fromUtf8(spec.Hint));
    this->*spec.Member = a;
  }
  FolderBarVisibleAct->setChecked(true);
  // No display-settings command is known on this desktop, so the item is not offered.
  ZmOpenDeskAction1->setVisible(false);
  ZmViewHelpHtmlActionKv->setShortcut(QKeySequence(Qt::Key_F1));
  ZmViewHelpHtmlActionKv->setShortcutContext(Qt::ApplicationShortcut);
  IVGroup = new QActionGroup(this);
  IVGroup->setExclusive(true);
  for (QAction* a : {IVNoneAct, IVScaleNormalAct, IVAutoScaleLongAct}) IVGroup->addAction(a);
}

void TFormKirvane::CreateMenus() {
  QMenuBar* bar = menuBar();
  QMenu* file = bar->addMenu(QStringLiteral("ファイル(&F)"));
  AddMenuActions(file, {SelectFolderAct, Separator, OpenShellAct, OpenExplorerAct, OpenFolderAct, Separator,
                    DeleteFileAct, Separator, ZmExitAction1});

  QMenu* edit = bar->addMenu(QStringLiteral("編集(&E)"));
  AddMenuActions(edit, {SearchFindAct, SearchFindNextAct, Separator, NameCopyAct, Separator, CopyFileAct, MoveFileAct,
                    Separator, SelectAllAct});
  // The menu item of SelectErrorsActVt is hidden; the command stays reachable by its key.
  SelectErrors1 = edit->addAction(SelectErrorsActVt->text());
  connect(SelectErrors1, &QAction::triggered, SelectErrorsActVt, &QAction::trigger);
  edit->addAction(SelectChangeAct);

  QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
  AddMenuActions(view, {FolderBarVisibleAct, Separator, ColumnsEditAct, Separator});
  AddMenuActions(SubMenu(view, MoveAct), {BackAct, ForwardAct, UpFolderAct, Separator, MoveThisFolderAct});
  view->addAction(StopAct);
  AddMenuActions(SubMenu(view, RefreshAct), {RefreshAllAct, RefreshFoldersAct, RefreshFilesAct});
  view->addSeparator();
  AddMenuActions(view->addMenu(QStringLiteral("画像の表示(&V)")), {IVNoneAct, IVScaleNormalAct, IVAutoScaleLongAct});
  AddMenuActions(view, {Separator, SubFolderSearchAct, HiddenFileViewAct, DoNowAct, Separator, ZmOpenDeskAction1});

  // Items are appended at the first activation.
  RunMenu = bar->addMenu(QStringLiteral("実行(&R)"));

  QMenu* tools = bar->addMenu(QStringLiteral("ツール(&T)"));
  // The check's caption shares its "E" with the history editor's: its item here answers to "J".
  QAction* check = tools->addAction(QStringLiteral("すべてエラーチェック(&J)"));
  check->setStatusTip(JpegErrorCheckAllAct->statusTip());
  connect(check, &QAction::triggered, JpegErrorCheckAllAct, &QAction::trigger);
  connect(JpegErrorCheckAllAct, &QAction::changed, check, [check, a = JpegErrorCheckAllAct] { check->setEnabled(a->isEnabled()); });
  AddMenuActions(tools, {SelectErrorsActVt, Separator, ActRecentEdit, Separator, OptionDetailAct});

  QMenu* help = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
  AddMenuActions(help, {ZmViewHelpHtmlActionKv, Separator, ZmOpenAppFolderAction1, Separator, ZmAboutActionKv});

  PMLVFiles = new QMenu(this);
  AddMenuActions(SubMenu(PMLVFiles, ShowAct), {ShowManualAct, ShowAutoAct});
  AddMenuActions(PMLVFiles, {RefreshFilesAct, MoveThisFolderAct, Separator, NameCopyAct, Separator, OpenShellAct,
                         OpenExplorerAct, OpenFolderAct, Separator, DeleteFileAct, Separator, SelectAllAct,
                         SelectChangeAct, Separator, ColumnsEditAct});

  PMImgView = new QMenu(this);
  AddMenuActions(PMImgView->addMenu(QStringLiteral("画像の表示(&V)")), {IVNoneAct, IVScaleNormalAct, IVAutoScaleLongAct});
  AddMenuActions(PMImgView, {Separator, ImgCopyAct, ImgNameCopyAct, Separator, ImgCloseAct});

  PMBack = new QMenu(this);
  PMForward = new QMenu(this);
  PMRefresh = new QMenu(this);
  AddMenuActions(PMRefresh, {RefreshAllAct, RefreshFoldersAct, RefreshFilesAct});
  PMRunKv = new QMenu(this);
  AddMenuActions(PMRunKv, {ShowManualAct, ShowAutoAct});
}

void TFormKirvane::CreateToolBars() {
  SetActionIcons(*this, {
      {BackAct, "go-previous", QStyle::SP_ArrowBack},
      {ForwardAct, "go-next", QStyle::SP_ArrowForward},
      {UpFolderAct, "go-up", QStyle::SP_FileDialogToParent},
      {StopAct, "process-stop", QStyle::SP_BrowserStop},
      {RefreshAllAct, "view-refresh", QStyle::SP_BrowserReload},
      {RefreshFoldersAct, "view-refresh", QStyle::SP_BrowserReload},
      {RefreshFilesAct, "view-refresh", QStyle::SP_BrowserReload},
      {FolderBarVisibleAct, "folder", QStyle::SP_DirIcon},
      {SubFolderSearchAct, "folder-open", QStyle::SP_DirOpenIcon},
      {HiddenFileViewAct, "view-hidden", QStyle::SP_FileDialogDetailedView},
      {DoNowAct, "media-seek-forward", QStyle::SP_MediaSeekForward},
      {ShowManualAct, "media-playback-start", QStyle::SP_MediaPlay},
      {ShowAutoAct, "media-skip-forward", QStyle::SP_MediaSkipForward},
      {GoAct, "go-jump", QStyle::SP_ArrowRight},
  });
  auto button = [this](QToolBar* bar, QAction* action, QMenu* dropDown = nullptr) {
    auto* b = new QToolButton(bar);
    b->setDefaultAction(action);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    if (dropDown) {
      b->setMenu(dropDown);
      b->setPopupMode(QToolButton::MenuButtonPopup);
    }
    bar->addWidget(b);
    return b;
  };
  ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  TBtnBack = button(ToolBar1, BackAct, PMBack);
  TBtnForward = button(ToolBar1, ForwardAct, PMForward);
  button(ToolBar1, UpFolderAct);
  ToolBar1->addSeparator();
  button(ToolBar1, StopAct);
  TBtnRefresh = button(ToolBar1, RefreshAllAct, PMRefresh);
  ToolBar1->addSeparator();
  button(ToolBar1, FolderBarVisibleAct);
  ToolBar1->addSeparator();
  button(ToolBar1, SubFolderSearchAct);
  button(ToolBar1, HiddenFileViewAct);
  button(ToolBar1, DoNowAct);
  ToolBar1->addSeparator();
  TBtnRun = button(ToolBar1, ShowManualAct, PMRunKv);

  addToolBarBreak();
  ToolBar2 = addToolBar(QStringLiteral("ToolBar2"));
  ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
  ToolBar2->setMovable(false);
  CBRecent = new QComboBox(ToolBar2);
  CBRecent->setObjectName(QStringLiteral("CBRecent"));
  CBRecent->setEditable(true);
  CBRecent->setMaxVisibleItems(14);
  CBRecent->setInsertPolicy(QComboBox::NoInsert);
  // No completion: it would replace what is typed by a recent folder that differs in case.
  CBRecent->setCompleter(nullptr);
  CBRecent->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  CBRecent->setMinimumContentsLength(20);
  // The combo takes the width of its tool bar, less the Go button.
  CBRecent->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  ToolBar2->addWidget(CBRecent);
  GoAct->setText(QStringLiteral("移動"));
  TBtnGo = button(ToolBar2, GoAct);
  TBtnGo->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

  for (QToolButton* b : {TBtnBack, TBtnForward}) {
    // The history menus have no generated accelerators; an empty menu still shows "なし".
    b->setPopupMode(QToolButton::MenuButtonPopup);
  }
  RecentMenus_ = new TZmRecentMenus(ZmRecentControl1, PMBack, PMForward, BackAct, ForwardAct, this);
  RecentMenus_->Rebuild();
}

void TFormKirvane::ConnectCommands() {
  auto on = [this](QAction* a, void (TFormKirvane::*fn)()) { connect(a, &QAction::triggered, this, fn); };
  on(StopAct, &TFormKirvane::StopActExecute);
  for (QAction* a : {RefreshAllAct, RefreshFoldersAct, RefreshFilesAct})
    connect(a, &QAction::triggered, this, [this, a] { RefreshExecute(a); });
  on(SubFolderSearchAct, &TFormKirvane::SubFolderSearchActExecute);
  on(HiddenFileViewAct, &TFormKirvane::HiddenFileViewActExecute);
  on(FolderBarVisibleAct, &TFormKirvane::FolderBarVisibleActExecute);
  on(BackAct, &TFormKirvane::BackActExecute);
  on(ForwardAct, &TFormKirvane::ForwardActExecute);
  on(UpFolderAct, &TFormKirvane::UpFolderActExecute);
  on(GoAct, &TFormKirvane::GoActExecute);
  on(MoveThisFolderAct, &TFormKirvane::MoveThisFolderActExecute);
  on(SelectFolderAct, &TFormKirvane::SelectFolderActExecute);
  on(IVNoneAct, &TFormKirvane::IVNoneActExecute);
  on(IVScaleNormalAct, &TFormKirvane::IVScaleNormalActExecute);
  on(IVAutoScaleLongAct, &TFormKirvane::IVAutoScaleLongActExecute);
  on(ImgCloseAct, &TFormKirvane::ImgCloseActExecute);
  on(ImgCopyAct, &TFormKirvane::ImgCopyActExecute);
  on(ImgNameCopyAct, &TFormKirvane::ImgNameCopyActExecute);
  on(NameCopyAct, &TFormKirvane::NameCopyActExecute);
  on(OpenShellAct, &TFormKirvane::OpenShellActExecute);
  on(OpenExplorerAct, &TFormKirvane::OpenExplorerActExecute);
  on(OpenFolderAct, &TFormKirvane::OpenFolderActExecute);
  connect(CopyFileAct, &QAction::triggered, this, [this] { TransferActExecute(TFileTransfer::Copy); });
  connect(MoveFileAct, &QAction::triggered, this, [this] { TransferActExecute(TFileTransfer::Move); });
  on(DeleteFileAct, &TFormKirvane::DeleteFileActExecute);
  on(JpegErrorCheckAllAct, &TFormKirvane::JpegErrorCheckAllActExecute);
  connect(ActRecentEdit, &QAction::triggered, this, [this] {
    if (!ZmFileInfos1.List().Busy()) ExecuteEditFileList(this, RecentFolders_, [this](bool) { FillRecentCombo(); });
  });
  on(SelectErrorsActVt, &TFormKirvane::SelectErrorsActVtExecute);
  for (QAction* a : {OptionDetailAct, ColumnsEditAct})
    connect(a, &QAction::triggered, this, [this, a] { OptionDetailActExecute(a); });
  on(SearchFindAct, &TFormKirvane::SearchFindActExecute);
  on(SearchFindNextAct, &TFormKirvane::FindDialog1Find);
  on(SelectAllAct, &TFormKirvane::SelectAllActExecute);
  on(SelectChangeAct, &TFormKirvane::SelectChangeActExecute);
  for (QAction* a : {ShowManualAct, ShowAutoAct})
    connect(a, &QAction::triggered, this, [this, a] { ShowBaseActExecute(a); });
  connect(ZmExitAction1, &QAction::triggered, this, [this] {
    if (MayStopFileOperation()) close();
  });
  ConnectHelpCommands();
  connect(CBRecent, &QComboBox::activated, this, [this] { CBRecentSelect(); });
  CBRecent->installEventFilter(this);
  CBRecent->lineEdit()->installEventFilter(this);
}
