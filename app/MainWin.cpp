// The main window's life cycle, layout, titles, instance hand-over and settings.
#include "app/MainWin.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QTranslator>
#include <QTreeView>

#include "app/Actions.h"
#include "app/ZmRecentMenus.h"
#include "catalogue/FormatSettings.h"
#include "catalogue/ZmUtils.h"
#include "columns/ZmListView.h"
#include "imageview/ImgView32.h"
#include "imageview/ZmImgView32.h"
#include "platform/AppPaths.h"
#include "platform/FileTypes.h"

namespace {
const QString AppTitle = QStringLiteral("Kirvane");
}  // namespace

bool InstallQtJapaneseTexts() {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(translator))
    return true;
  delete translator;
  return false;
}

TZmGraphicExItemList& GraphicExItemList() {
  static TZmGraphicExItemList list;
  return list;
}

TFormKirvane::TFormKirvane(std::string startPath, QWidget* parent)
    : QMainWindow(parent), StartPath_(std::move(startPath)), ZmColumnInfosKv(FileListColumnSpecs()) {
  setObjectName(QStringLiteral("FormKirvane"));
  FormCreate();
}

TFormKirvane::~TFormKirvane() {
  // No end-of-scan event into a window that is going away.
  ZmFileInfos1.SetOnTerminate(nullptr);
  ZmFileInfos1.List().OnFolderSearched = nullptr;
  ZmFileInfos1.List().Stop();
  // The child widgets outlive the members they read from: a shown window would be hidden only
  // after those are gone, and hiding lays out the list, which asks for its rows.
  LVFiles->OnData = nullptr;
  hide();
}

void TFormKirvane::FormCreate() {
  InstallLocaleFormats();
  AppIniFile = std::make_unique<TMemIniFile>(SettingsFilePath());
  AppOptions_ = std::make_unique<TKirvaneOptions>();

  FileTypes_ = CreateMimeFileTypes();
  ZmFileInfos1.SetFileTypes(FileTypes_.get());
  ZmFileInfos1.SetOptions(filoHiddenFileView);
  ZmFileInfos1.SetPriority(TThreadPriority::tpHighest);
  ZmFileInfos1.SetSortDown(false);
  ZmFileInfos1.SetSortMode(0);
  ZmFileInfos1.SetUseThread(true);
  ZmFileInfos1.SetOnTerminate([this] { ZmFileInfos1Terminate(); });
  ZmFileInfos1.List().OnFolderSearched = [this](const TZmFolderSearched& p) { OnFolderSearched(p); };

  ZmRecentControl1.OnAddJudge = [this](const TZmRecentItem* now, const TZmRecentItem& add, bool& flag) {
    ZmRecentControl1AddJudge(now, add, flag);
  };
  ZmRecentControl1.OnMenuItemCaptionSetEvent = [this](const TZmRecentItem& item, std::string& caption) {
    ZmRecentControl1MenuItemCaptionSetEvent(item, caption);
  };
  ZmRecentControl1.OnMenuItemClick = [this](TZmRecentItem* pre, TZmRecentItem* now) {
    ZmRecentControl1MenuItemClick(pre, now);
  };

  CreateActions();
  CreateMenus();
  CreateToolBars();

  Splitter1 = new QSplitter(Qt::Horizontal, this);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setHandleWidth(6);
  Splitter1->setChildrenCollapsible(false);
  CreateFolderTree();  // change handler detached until the window is built
  Splitter2 = new QSplitter(Qt::Vertical, Splitter1);
  Splitter2->setObjectName(QStringLiteral("Splitter2"));
  Splitter2->setChildrenCollapsible(false);
  CreateFileList();
  CreatePreview();
  Splitter1->addWidget(STV);
  Splitter1->addWidget(Splitter2);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({180, 420});
  Splitter2->setSizes({272, 128});
  setCentralWidget(Splitter1);

  // Four panels: selection count (and hints), position, total size, scan progress.
  static const int PanelWidths[4] = {50, 130, 70, 120};
  for (int i = 0; i < 4; ++i) {
    SBPanels[i] = new QLabel(this);
    SBPanels[i]->setObjectName(QStringLiteral("SBPanel%1").arg(i));
    SBPanels[i]->setMinimumWidth(PanelWidths[i]);
    statusBar()->addWidget(SBPanels[i], i == 0 ? 1 : 0);
  }

  SelectErrors1->setVisible(false);
  setWindowTitle(AppTitle);
  resize(760, 520);

  RecentFolders_ = LoadRecentFolders(RecentFoldersFilePath(), &RecentFileStatus_);
  FillRecentCombo();
  CBRecent->setCurrentIndex(-1);
  CBRecent->setEditText({});

  ConnectCommands();
  CreateJpegChecker();
  CreateDropTargets();
  InstallIdleUpdate();
  STVChangeAttached_ = true;
  FileCommands_ = std::make_unique<TFileCommands>(this, AppOptions_->CommonSendPath);
  FormImage_ = std::make_unique<TFormImage>(*this);
}

void TFormKirvane::InstallLocaleFormats() {
  const QLocale locale = QLocale::system();
  TFormatSettings& fs = FormatSettings();
  fs.DecimalSeparator = QString(locale.decimalPoint()).toStdString();
  fs.ThousandSeparator = QString(locale.groupSeparator()).toStdString();
  fs.CollationLocale = locale.name().toStdString();
  ResetCollation();
  // Hours, minutes and seconds in the locale's short form ("H:mm" -> "H:mm:ss"): the long form
  // of some locales spells units out and names the time zone, too wide for a list column.
  QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
  if (!timeFormat.contains(QLatin1Char('s'))) timeFormat.replace(QStringLiteral("mm"), QStringLiteral("mm:ss"));
  fs.FormatShortDate = [locale](const TLocalDateTime& d) {
    return locale.toString(QDate(d.Year, d.Month, d.Day), QLocale::ShortFormat).toStdString();
  };
  fs.FormatLongTime = [locale, timeFormat](const TLocalDateTime& d) {
    return locale.toString(QTime(d.Hour, d.Minute, d.Second), timeFormat).toStdString();
  };
}

void TFormKirvane::FirstActivate() {
  if (FirstActivated_) return;
  FirstActivated_ = true;
  RunMenu->addAction(ShowManualAct);
  RunMenu->addAction(ShowAutoAct);
  DoNowAct->setText(QStringLiteral("すぐにスライドショー開始(&D)"));
  SetActionHint(*DoNowAct, QStringLiteral("すぐにスライドショー開始|すぐにスライドショー開始を切り替えます。"));
  KeepUnreadableSettingsFiles();
  AppOptions_->Load(*AppIniFile, *this);
  OnHandOver(StartPath_.empty() ? TreePath() : StartPath_);
}

// A settings file that exists but could not be read is the user's: it is renamed to "<name>.bad"
// before anything could write over it, and the user is told once. One that cannot be renamed
// is left as it is and not written in this session.
void TFormKirvane::KeepUnreadableSettingsFiles() {
  QStringList lines;
  for (TSettingsFileStatus* file : {&AppIniFile->FileStatus(), &RecentFileStatus_}) {
    if (file->State != TSettingsFileStatus::Unreadable) continue;
    const QString name = QFile::decodeName(QByteArray::fromStdString(file->Path));
    if (SetAsideSettingsFile(*file))
      lines << QStringLiteral("%1 → %2").arg(name, QFile::decodeName(QByteArray::fromStdString(file->AsidePath)));
    else
      lines << QStringLiteral("%1 (このファイルは変更しません)").arg(name);
  }
  if (lines.isEmpty()) return;
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("注意"),
                              QStringLiteral("次のファイルを読み込めませんでした。元のファイルを残し、"
                                             "既定の設定で始めます。\n\n") + lines.join('\n'),
                              QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();  // the window keeps working while the box is shown
}

void TFormKirvane::FormActivate() {
  FirstActivate();
  // Activation passes a Left-arrow press and release through the list's handlers, which
  // leaves no key pending.
  KeyDownSeen = false;
  UpdateTitles();
}

void TFormKirvane::OnHandOver(const std::string& path) { MoveFolder(path); }

void TFormKirvane::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  if (e->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

bool TFormKirvane::event(QEvent* e) {
  switch (e->type()) {
    case QEvent::StatusTip: {
      // Long hints go to panel 0; when the pointer leaves, the panel shows the count again.
      const QString tip = static_cast<QStatusTipEvent*>(e)->tip();
      if (tip.isEmpty()) UpdateStatusBar();
      else SBPanels[0]->setText(tip);
      return true;
    }
    case QEvent::Show:
      // Without a window manager a window may never become active; list the start folder anyway.
      if (!FirstActivated_) QTimer::singleShot(0, this, [this] { FirstActivate(); });
      break;
    default: break;
  }
  return QMainWindow::event(e);
}

bool TFormKirvane::MayStopFileOperation() {
  // A cancelled copy loses nothing, but the user may rather let it finish.
  return !FileCommands_ || !FileCommands_->Running() ||
         QMessageBox::question(this, QStringLiteral("終了"), QStringLiteral("ファイルの操作を実行中です。中止して終了しますか?"),
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void TFormKirvane::closeEvent(QCloseEvent* e) {
  // The user closing the window is asked; a termination signal (the session ends) is not.
  if (e->spontaneous() && !MayStopFileOperation()) {
    e->ignore();
    return;
  }
  FormClose();
  e->accept();
}

void TFormKirvane::FormClose() {
  if (Closing_) return;
  Closing_ = true;
  // Failures while closing are not reported; each file is written on its own, so that a
  // folder.txt that cannot be written does not cost the settings too.
  try {
    StopActExecute();
    SetRowCount(0);
    FileCommands_->Abort();
  } catch (...) {
  }
  // The program ends with its main window: a slideshow still shown would keep it alive.
  if (FormImage_ && FormImage_->isVisible()) ExecuteAction(FormImage_->ExitAction());
  try {
    if (RecentFileStatus_.MayWrite()) SaveRecentFolders(RecentFoldersFilePath(), RecentFolders_);
  } catch (...) {
  }
  try {
    if (FirstActivated_) AppOptions_->Save(*AppIniFile, *this);
  } catch (...) {
  }
}

void TFormKirvane::UpdateTitles() {
  const TZmRecentItem* now = ZmRecentControl1.NowItem();
  const QString title = now ? QString::fromUtf8(now->Folder) + QStringLiteral(" - ") + AppTitle : QString();
  if (windowTitle() != title) setWindowTitle(title);
  if (FormImage_) FormImage_->UpdateTitle();
}

QString TFormKirvane::StatusText(int panel) const {
  return panel >= 0 && panel < 4 ? SBPanels[panel]->text() : QString();
}

QAction* TFormKirvane::Action(const char* objectName) const {
  return findChild<QAction*>(QString::fromLatin1(objectName), Qt::FindDirectChildrenOnly);
}

bool TFormKirvane::ExecuteAction(QAction* action) { return ::ExecuteAction(action); }

// ---- Settings host ----

bool TFormKirvane::DoNow() const { return DoNowAct->isChecked(); }
void TFormKirvane::SetDoNow(bool v) { DoNowAct->setChecked(v); }
bool TFormKirvane::FolderBarVisible() const { return FolderBarVisibleAct->isChecked(); }
void TFormKirvane::SetFolderBarVisible(bool v) { FolderBarVisibleAct->setChecked(v); }
TZmGraphicExItemList& TFormKirvane::Formats() { return GraphicExItemList(); }

void TFormKirvane::LoadColumns(const TMemIniFile& ini) { ZmColumnInfosKv.ColumnInfos().LoadFromIni(ini); }

void TFormKirvane::SaveColumns(TMemIniFile& ini) {
  LVFiles->StoreColumnWidths();
  ZmColumnInfosKv.ColumnInfos().SaveToIni(ini);
}

void TFormKirvane::LoadImageView(const TMemIniFile& ini) { FormImage_->ImgView32()->LoadFromIni(ini); }
void TFormKirvane::SaveImageView(TMemIniFile& ini) { FormImage_->ImgView32()->SaveToIni(ini); }

void TFormKirvane::ApplyOptions(uint8_t imgViewMode) {
  const TZmFileInfoListOptions options = ZmFileInfos1.Options();
  SubFolderSearchAct->setChecked(options & filoSubFolderSearch);
  HiddenFileViewAct->setChecked(options & filoHiddenFileView);
  const bool bar = FolderBarVisibleAct->isChecked();
  STV->setVisible(bar);
  QAction* modes[] = {IVNoneAct, IVScaleNormalAct, IVAutoScaleLongAct};
  if (imgViewMode < 3) modes[imgViewMode]->trigger();
}

void TFormKirvane::ApplySortColumn() {
  LVFiles->SortColumnIndex = ZmFileInfos1.SortMode();
  LVFiles->SortDown = ZmFileInfos1.SortDown();
  LVFiles->RebuildColumns();
}
