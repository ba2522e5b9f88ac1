// The slideshow window's commands, menus, tool bar and bar panel, and the rules that keep the
// commands' checked and enabled states current.
#include <QAbstractEventDispatcher>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QAbstractItemView>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTimer>
#include <QToolButton>

#include "app/Actions.h"
#include "dialogs/FileCommands.h"
#include "imageview/BitmapClipboard.h"
#include "imageview/ZmImgView32.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"
#include "slideshow/ColorBox.h"
#include "slideshow/FormImage.h"

namespace {

struct TActionSpec {
  QAction* TFormImage::*Member;
  const char* Name;
  const char* Caption;
  const char* Hint;  // "tooltip|status text"; empty: the caption without its accelerator, twice
  bool Checkable;
};

// "前の画像(&B)" -> "前の画像"; "フォルダへコピー(&O)..." -> "フォルダへコピー".
QString PlainCaption(const QString& caption) {
  QString s = caption;
  if (s.endsWith(QStringLiteral("..."))) s.chop(3);
  const qsizetype open = s.lastIndexOf(QStringLiteral("(&"));
  if (open >= 0 && s.endsWith(QLatin1Char(')'))) s.truncate(open);
  s.remove(QLatin1Char('&'));
  return s.trimmed();
}

constexpr QAction* Separator = nullptr;  // in a menu list

}  // namespace

void TFormImage::CreateActions() {
#define KV_ACTION(name) &TFormImage::name, #name
  // clang-format off
  static const TActionSpec Specs[] = {
    {KV_ACTION(BackImageShowAct), "前の画像(&B)", "", false},
    {KV_ACTION(ForwardImageShowAct), "次の画像(&F)", "", false},
    {KV_ACTION(BackFolderImageShowAct), "前のフォルダの画像(&A)", "", false},
    {KV_ACTION(ForwardFolderImageShowAct), "次のフォルダの画像(&O)", "", false},
    {KV_ACTION(PageUpImageShowAct), "10 個前の画像(&U)", "", false},
    {KV_ACTION(PageDownImageShowAct), "10 個次の画像(&D)", "", false},
    {KV_ACTION(HomeImageShowAct), "最初の画像(&H)", "", false},
    {KV_ACTION(EndImageShowAct), "最後の画像(&E)", "", false},
    {KV_ACTION(ShowModeManualAct), "手動スライドショー(&M)", "手動スライドショー|手動画像切り替えで、スライドショーを実行します。", true},
    {KV_ACTION(ShowModeAutoAct), "自動スライドショー(&A)", "自動スライドショー|自動画像切り替えで、スライドショーを実行します。", true},
    {KV_ACTION(ShowModeAutoStopAct), "自動スライドショー中止(&S)", "", false},
    {KV_ACTION(LoopAct), "ループ(&L)", "", true},
    {KV_ACTION(SlideShowExitAct), "スライドショー終了(&X)", "", false},
    {KV_ACTION(AllUpdateAct), "", "", false},
    {KV_ACTION(ImgPlaceBottomLeftAct), "左下(&1)", "", true},
    {KV_ACTION(ImgPlaceBottomAct), "下(&2)", "", true},
    {KV_ACTION(ImgPlaceBottomRightAct), "右下(&3)", "", true},
    {KV_ACTION(ImgPlaceLeftAct), "左(&4)", "", true},
    {KV_ACTION(ImgPlaceCenterAct), "真中(&5)", "", true},
    {KV_ACTION(ImgPlaceRightAct), "右(&6)", "", true},
    {KV_ACTION(ImgPlaceTopLeftAct), "左上(&7)", "", true},
    {KV_ACTION(ImgPlaceTopAct), "上(&8)", "", true},
    {KV_ACTION(ImgPlaceTopRightAct), "右上(&9)", "", true},
    {KV_ACTION(StretchFilterNearestAct), "&Nearest [標準](&N)", "Nearest|Nearest に伸縮フィルタを設定します。", true},
    {KV_ACTION(StretchFilterLinearAct), "Linear(&I)", "Linear|Linear に伸縮フィルタを設定します。", true},
    {KV_ACTION(StretchFilterSplineAct), "Spline(&S)", "Spline|Spline に伸縮フィルタを設定します。", true},
    {KV_ACTION(StretchFilterLanczosAct), "Lanczos(&A)", "Lanczos|Lanczos に伸縮フィルタを設定します。", true},
    {KV_ACTION(StretchFilterMitchellAct), "Mitchell(&M)", "Mitchell|Mitchell に伸縮フィルタを設定します。", true},
    {KV_ACTION(SANoneAct), "なし(&N)", "", true},
    {KV_ACTION(AutoWindowSizeAct), "自動ウィンドウサイズ(&W)", "", true},
    {KV_ACTION(AutoScaleLongAct), "自動倍率1(&L)", "", true},
    {KV_ACTION(AutoScaleShortAct), "自動倍率2(&S)", "", true},
    {KV_ACTION(FullScreenAct), "フルスクリーン(&F)", "", true},
    {KV_ACTION(TitleBarVisibleAct), "タイトル バー(&T)", "", true},
    {KV_ACTION(CursorVisibleAct), "マウスカーソル(&C)", "", true},
    {KV_ACTION(ReverseMoveAct), "反転移動(&R)", "", true},
    {KV_ACTION(BarVisibleAct), "バーを常に表示(&B)", "", true},
    {KV_ACTION(ScaleNormalAct), "実寸表示(&1)", "", false},
    {KV_ACTION(ScaleUpAct), "2 倍拡大(&2)", "", false},
    {KV_ACTION(ScaleDownAct), "0.5 倍拡大(&3)", "", false},
    {KV_ACTION(ImageCopyAct), "画像のコピー(&C)", "画像のコピー|画像のコピー を実寸でします。", false},
    {KV_ACTION(ImageNameCopyAct), "ファイル名のコピー(&N)", "ファイル名のコピー|ファイル名のコピー をフルパスでします。", false},
    {KV_ACTION(CopyFileOneAct), "フォルダへコピー(&O)...", "", false},
    {KV_ACTION(MoveFileOneAct), "フォルダへ移動(&V)...", "", false},
    {KV_ACTION(DeleteFileOneAct), "ファイルを削除(&D)", "", false},
    {KV_ACTION(OpenShellOneAct), "アプリケーションから開く(&H)", "", false},
    {KV_ACTION(OpenExplorerOneAct), "エクスプローラ(&E)", "", false},
    {KV_ACTION(OpenFolderOneAct), "フォルダを開く(&O)", "", false},
  };
  // clang-format on
#undef KV_ACTION
  for (const TActionSpec& spec : Specs) {
    const QString caption = QString::fromUtf8(spec.Caption);
    auto* a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(spec.Name));
    a->setCheckable(spec.Checkable);
    const QString plain = PlainCaption(caption);
    SetActionHint(*a, *spec.Hint ? QString::fromUtf8(spec.Hint) : plain + QLatin1Char('|') + plain);
    a->setIconText(plain);  // what a tool button without an icon shows
    this->*spec.Member = a;
  }
  // Placements, filters and sizes: the short hint is the caption, the long one says what it sets.
  auto describe = [](std::initializer_list<QAction*> actions, const char* what) {
    for (QAction* a : actions) {
      const QString plain = PlainCaption(a->text());
      SetActionHint(*a, plain + QLatin1Char('|') + plain + QString::fromUtf8(what));
    }
  };
  describe({ImgPlaceBottomLeftAct, ImgPlaceBottomAct, ImgPlaceBottomRightAct, ImgPlaceLeftAct, ImgPlaceCenterAct,
            ImgPlaceRightAct, ImgPlaceTopLeftAct, ImgPlaceTopAct, ImgPlaceTopRightAct},
           " に画像表示位置を設定します。");
  describe({SANoneAct, AutoWindowSizeAct, AutoScaleLongAct, AutoScaleShortAct}, " にサイズ調整を設定します。");

  auto group = [this](std::initializer_list<QAction*> actions) {
    auto* g = new QActionGroup(this);
    g->setExclusive(true);
    int tag = 0;
    for (QAction* a : actions) {
      a->setProperty("tag", tag++);
      g->addAction(a);
    }
    return g;
  };
  ModeGroup = group({ShowModeManualAct, ShowModeAutoAct});
  FilterGroup = group({StretchFilterNearestAct, StretchFilterLinearAct, StretchFilterSplineAct,
                       StretchFilterLanczosAct, StretchFilterMitchellAct});
  SizeGroup = group({SANoneAct, AutoWindowSizeAct, AutoScaleLongAct, AutoScaleShortAct});
  // Tags follow the placements' own order (ipBottomLeft = 0 ... ipTopRight = 8).
  PlaceGroup = group({ImgPlaceBottomLeftAct, ImgPlaceBottomAct, ImgPlaceBottomRightAct, ImgPlaceLeftAct,
                      ImgPlaceCenterAct, ImgPlaceRightAct, ImgPlaceTopLeftAct, ImgPlaceTopAct, ImgPlaceTopRightAct});

  BarVisibleAct->setChecked(true);

  SetActionIcons(*this, {
      {BarVisibleAct, "view-restore", QStyle::SP_TitleBarNormalButton},
      {BackImageShowAct, "go-previous", QStyle::SP_ArrowBack},
      {ForwardImageShowAct, "go-next", QStyle::SP_ArrowForward},
      {BackFolderImageShowAct, "go-up", QStyle::SP_ArrowUp},
      {ForwardFolderImageShowAct, "go-down", QStyle::SP_ArrowDown},
      {PageUpImageShowAct, "media-seek-backward", QStyle::SP_MediaSeekBackward},
      {PageDownImageShowAct, "media-seek-forward", QStyle::SP_MediaSeekForward},
      {HomeImageShowAct, "go-first", QStyle::SP_MediaSkipBackward},
      {EndImageShowAct, "go-last", QStyle::SP_MediaSkipForward},
      {ScaleNormalAct, "zoom-original", QStyle::SP_FileDialogContentsView},
      {ScaleUpAct, "zoom-in", QStyle::SP_ArrowUp},
      {ScaleDownAct, "zoom-out", QStyle::SP_ArrowDown},
      {ShowModeAutoStopAct, "media-playback-stop", QStyle::SP_MediaStop},
      {ShowModeManualAct, "media-playback-start", QStyle::SP_MediaPlay},
      {ShowModeAutoAct, "media-skip-forward", QStyle::SP_MediaSkipForward},
      {SlideShowExitAct, "application-exit", QStyle::SP_DialogCloseButton},
  });
}

void TFormImage::CreateMenus() {
  QMenuBar* bar = menuBar();
  AddMenuActions(bar->addMenu(QStringLiteral("ファイル(&F)")), {OpenShellOneAct, OpenExplorerOneAct, OpenFolderOneAct,
                                                           Separator, DeleteFileOneAct, Separator, SlideShowExitAct});
  AddMenuActions(bar->addMenu(QStringLiteral("編集(&E)")),
             {ImageCopyAct, ImageNameCopyAct, Separator, CopyFileOneAct, MoveFileOneAct});
  QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
  AddMenuActions(view, {FullScreenAct, TitleBarVisibleAct, BarVisibleAct, CursorVisibleAct, Separator, ReverseMoveAct,
                    LoopAct, Separator});
  view->addMenu(QStringLiteral("伸縮フィルタ(&S)"))->addActions(FilterGroup->actions());
  view->addMenu(QStringLiteral("サイズ調整(&A)"))->addActions(SizeGroup->actions());
  view->addMenu(QStringLiteral("画像表示位置(&I)"))->addActions(PlaceGroup->actions());
  AddMenuActions(view, {Separator, ScaleNormalAct, ScaleUpAct, ScaleDownAct});
  AddMenuActions(bar->addMenu(QStringLiteral("画像(&P)")),
             {BackImageShowAct, ForwardImageShowAct, BackFolderImageShowAct, ForwardFolderImageShowAct,
              PageUpImageShowAct, PageDownImageShowAct, HomeImageShowAct, EndImageShowAct});
  AddMenuActions(bar->addMenu(QStringLiteral("スライドショーモード(&M)")),
             {ShowModeManualAct, ShowModeAutoAct, Separator, ShowModeAutoStopAct});
}

void TFormImage::CreateToolBar() {
  ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setIconSize(QSize(16, 16));
  ToolBar1->installEventFilter(this);
  auto dropDown = [this](QList<QAction*> actions) {
    auto* menu = new QMenu(this);
    menu->addActions(actions);
    auto* b = new QToolButton(ToolBar1);
    b->setDefaultAction(actions.front());
    b->setMenu(menu);
    b->setPopupMode(QToolButton::MenuButtonPopup);
    b->setAutoRaise(true);
    ToolBar1->addWidget(b);
    return b;
  };
  ToolBar1->addAction(BarVisibleAct);
  ToolBar1->addSeparator();
  ToolBar1->addActions({BackImageShowAct, ForwardImageShowAct, BackFolderImageShowAct, ForwardFolderImageShowAct,
                        PageUpImageShowAct, PageDownImageShowAct, HomeImageShowAct, EndImageShowAct});
  ToolBar1->addSeparator();
  ToolBar1->addActions({ScaleNormalAct, ScaleUpAct, ScaleDownAct});
  ToolBar1->addSeparator();
  TBtnStretchFilter = dropDown(FilterGroup->actions());
  TBtnImgSizeAdjustment = dropDown(SizeGroup->actions());
  TBtnImgPlace = dropDown(PlaceGroup->actions());
  ToolBar1->addSeparator();
  ToolBar1->addAction(ShowModeAutoStopAct);
  TBtnSlideShowMode = dropDown(ModeGroup->actions());
  ToolBar1->addSeparator();
}

void TFormImage::CreateBarPanel() {
  auto* row = new QHBoxLayout(PanelBar);
  row->setContentsMargins(4, 2, 4, 2);
  PanelBar->installEventFilter(this);
  ColorBox_ = new TZmColorBox(PanelBar);
  ColorBox_->setObjectName(QStringLiteral("ColorBox"));
  ColorBox_->setFixedWidth(193);
  ColorBox_->setToolTip(QStringLiteral("背景色"));
  ColorBox_->setStatusTip(QStringLiteral("背景色"));
  ComboBoxScale = new QComboBox(PanelBar);
  ComboBoxScale->setObjectName(QStringLiteral("ComboBoxScale"));
  ComboBoxScale->setEditable(true);
  ComboBoxScale->setInsertPolicy(QComboBox::NoInsert);
  ComboBoxScale->setCompleter(nullptr);
  ComboBoxScale->setMaxVisibleItems(14);
  ComboBoxScale->setToolTip(QStringLiteral("倍率"));
  ComboBoxScale->setStatusTip(QStringLiteral("倍率"));
  for (const char* s : ScaleChoices) ComboBoxScale->addItem(QString::fromLatin1(s));
  UpDownViewInterval = new QSpinBox(PanelBar);
  UpDownViewInterval->setObjectName(QStringLiteral("UpDownViewInterval"));
  UpDownViewInterval->setRange(0, 1000);
  UpDownViewInterval->setKeyboardTracking(false);  // typed digits count at Enter, not one by one
  UpDownViewInterval->setToolTip(QStringLiteral("表示間隔"));
  UpDownViewInterval->setStatusTip(QStringLiteral("表示間隔 自動スライドショー時のみ有効。"));
  row->addWidget(ColorBox_);
  row->addSpacing(8);
  row->addWidget(ComboBoxScale);
  row->addWidget(new QLabel(QStringLiteral("倍"), PanelBar));
  row->addSpacing(8);
  row->addWidget(UpDownViewInterval);
  row->addWidget(new QLabel(QStringLiteral("秒"), PanelBar));
  row->addStretch(1);
}

void TFormImage::ConnectCommands() {
  const std::pair<QAction*, TSlideNav> navigation[] = {
      {ForwardImageShowAct, TSlideNav::Forward},         {BackImageShowAct, TSlideNav::Back},
      {PageDownImageShowAct, TSlideNav::PageDown},       {PageUpImageShowAct, TSlideNav::PageUp},
      {HomeImageShowAct, TSlideNav::Home},               {EndImageShowAct, TSlideNav::End},
      {ForwardFolderImageShowAct, TSlideNav::ForwardFolder}, {BackFolderImageShowAct, TSlideNav::BackFolder},
  };
  for (const auto& [action, nav] : navigation)
    connect(action, &QAction::triggered, this, [this, nav = nav] { Navigate(nav); });
  connect(ShowModeManualAct, &QAction::triggered, this, [this] { SetMode(0); });
  connect(ShowModeAutoAct, &QAction::triggered, this, [this] { SetMode(1); });
  connect(ShowModeAutoStopAct, &QAction::triggered, this, [this] {
    if (Host_.SlideShowMode() == 1) SetMode(0);
    else TimerAutoSlideShow->stop();
  });
  connect(SlideShowExitAct, &QAction::triggered, this, &TFormImage::SlideShowExitActExecute);
  connect(AllUpdateAct, &QAction::triggered, this, &TFormImage::AllUpdateActExecute);

  for (QAction* a : PlaceGroup->actions())
    connect(a, &QAction::triggered, this, [this, a] { ImgView32_->SetImgPlace(TZmImgPlace(a->property("tag").toInt())); });
  for (QAction* a : FilterGroup->actions())
    connect(a, &QAction::triggered, this,
            [this, a] { ImgView32_->SetStretchFilter(TStretchFilter(a->property("tag").toInt())); });
  for (QAction* a : SizeGroup->actions())
    connect(a, &QAction::triggered, this,
            [this, a] { ImgView32_->SetImgSizeAdjustment(TZmImgSizeAdjustment(a->property("tag").toInt())); });
  connect(FullScreenAct, &QAction::triggered, this, [this](bool on) { ImgView32_->SetFormFullScreen(on); });
  connect(TitleBarVisibleAct, &QAction::triggered, this,
          [this](bool on) { ImgView32_->SetFormTitleBarVisible(on); });
  connect(CursorVisibleAct, &QAction::triggered, this, [this](bool on) { ImgView32_->SetCursorMode(on); });
  connect(ReverseMoveAct, &QAction::triggered, this, [this](bool on) { ImgView32_->SetReverseMove(on); });
  connect(BarVisibleAct, &QAction::triggered, this, &TFormImage::BarVisibleActExecute);
  auto zoom = [this](QAction* a, double factor) {
    connect(a, &QAction::triggered, this, [this, factor] {
      ImgView32_->ZoomTo(factor == 0 ? double(ImgView32_->Defaults().Scale) : ImgView32_->Scale() * factor);
      AllUpdateActExecute();
    });
  };
  zoom(ScaleNormalAct, 0);
  zoom(ScaleUpAct, 2);
  zoom(ScaleDownAct, 0.5);
  connect(ImageCopyAct, &QAction::triggered, this, [this] {
    if (ImgView32_->LoadErrorText().isEmpty()) CopyBitmapToClipboard(ImgView32_->Bitmap());
  });
  connect(ImageNameCopyAct, &QAction::triggered, this, [this] {
    const int index = Host_.SlideNowIndex();
    if (index >= 0 && index < Host_.SlideCount())
      QApplication::clipboard()->setText(QFile::decodeName(QByteArray::fromStdString(Host_.SlidePath(index))));
  });
  // The shown file with its program, in the file manager, its folder; nothing when it has gone.
  auto onShown = [this](QAction* a, void (*open)(const std::string& path, const std::string& folder)) {
    connect(a, &QAction::triggered, this, [this, open] {
      const int index = Host_.SlideNowIndex();
      if (index >= 0 && index < Host_.SlideCount()) open(Host_.SlidePath(index), std::string(Host_.SlideFolder(index)));
    });
  };
  onShown(OpenShellOneAct, [](const std::string& path, const std::string&) {
    if (FileExists(path)) OpenFile(path);
  });
  onShown(OpenExplorerOneAct, [](const std::string& path, const std::string& folder) {
    if (FileExists(path)) OpenExplorer(path);
    else if (DirectoryExists(folder)) OpenExplorer(folder);
  });
  onShown(OpenFolderOneAct, [](const std::string&, const std::string& folder) {
    if (DirectoryExists(folder)) OpenFolder(folder);
  });
  // Copy, move and delete of the shown file: its dialogs belong to this window.
  auto onFile = [this](QAction* a, std::function<void(TFileCommands&, std::string)> run) {
    connect(a, &QAction::triggered, this, [this, run] {
      const int index = Host_.SlideNowIndex();
      if (index < 0 || index >= Host_.SlideCount()) return;
      if (std::string path = Host_.SlidePath(index); FileExists(path)) run(Host_.FileCommands(), std::move(path));
    });
  };
  onFile(CopyFileOneAct, [this](TFileCommands& c, std::string path) { c.TransferTo(TFileTransfer::Copy, {path}, this); });
  onFile(MoveFileOneAct, [this](TFileCommands& c, std::string path) { c.TransferTo(TFileTransfer::Move, {path}, this); });
  onFile(DeleteFileOneAct, [this](TFileCommands& c, std::string path) {
    // Shift held at this moment deletes for good instead of to the trash.
    c.Delete({path}, QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier, this);
  });

  connect(ColorBox_, &TZmColorBox::ColorChosen, this, [this](TColor color) {
    ImgView32_->SetBGColor(color);
    SetActiveControlNone();
  });
  connect(ComboBoxScale, &QComboBox::activated, this, [this] { ScaleBoxAccept(); });
  connect(ComboBoxScale->lineEdit(), &QLineEdit::returnPressed, this, [this] { ScaleBoxAccept(); });
  connect(UpDownViewInterval, &QSpinBox::valueChanged, this, [this] { IntervalAccept(); });

  // The command rules run once each time the event queue has been emptied, while shown.
  if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
      if (isVisible()) ActionListUpdate();
    });
}

void TFormImage::BarVisibleActExecute() {
  const bool on = BarVisibleAct->isChecked();
  menuBar()->setVisible(on);
  for (QWidget* w : {static_cast<QWidget*>(ToolBar1), PanelBar, static_cast<QWidget*>(statusBar())})
    w->setVisible(on);
  ImgView32_->SetSpeedHorz(0);
  ImgView32_->SetSpeedVert(0);
}

void TFormImage::ScaleBoxAccept() {
  if (ComboBoxScale->view()->isVisible()) return;  // still choosing
  bool ok = false;
  const QString text = ComboBoxScale->currentText().trimmed();
  double s = text.toDouble(&ok);
  if (!ok) s = QLocale().toDouble(text, &ok);
  ImgView32_->ZoomTo(ok ? s : double(ImgView32_->Scale()));
  const QString shown = QString::number(double(ImgView32_->Scale()), 'g', 15);
  if (ComboBoxScale->currentText() != shown) ComboBoxScale->setEditText(shown);
  SetActiveControlNone();
}

void TFormImage::IntervalAccept() {
  const int seconds = UpDownViewInterval->value();
  SetViewInterval(seconds == 0 ? 1 : seconds * 1000);
  SetActiveControlNone();
}

void TFormImage::ActionListUpdate() {
  auto check = [](QAction* a, bool on) {
    if (a->isChecked() != on) a->setChecked(on);
  };
  check(FullScreenAct, ImgView32_->FormFullScreen());
  check(TitleBarVisibleAct, ImgView32_->FormTitleBarVisible());
  check(CursorVisibleAct, ImgView32_->CursorMode());
  check(ReverseMoveAct, ImgView32_->ReverseMove());

  auto enable = [](QAction* a, bool on) {
    if (a->isEnabled() != on) a->setEnabled(on);
  };
  enable(ImageCopyAct, ImgView32_->LoadErrorText().isEmpty() && !ImgView32_->Bitmap().Empty());
  enable(TitleBarVisibleAct, !FullScreenAct->isChecked());
  enable(ShowModeAutoStopAct, Host_.SlideShowMode() == 1);
  const int index = Host_.SlideNowIndex();
  const bool fileCommands = index >= 0 && index < Host_.SlideCount() && !Host_.FileCommands().Busy();
  for (QAction* a : {CopyFileOneAct, MoveFileOneAct, DeleteFileOneAct}) enable(a, fileCommands);

  // Each drop-down button carries the command of the current choice; values outside a choice
  // (a hand-edited settings file) check nothing and leave the button as it is.
  auto choose = [](QActionGroup* group, QToolButton* button, int value) {
    const QList<QAction*> actions = group->actions();
    if (value < 0 || value >= actions.size()) return;
    QAction* a = actions[value];
    if (!a->isChecked()) a->setChecked(true);
    if (button->defaultAction() != a) button->setDefaultAction(a);
    if (button->isDown()) button->setDown(false);
  };
  choose(ModeGroup, TBtnSlideShowMode, Host_.SlideShowMode());
  choose(FilterGroup, TBtnStretchFilter, ImgView32_->StretchFilter());
  choose(SizeGroup, TBtnImgSizeAdjustment, ImgView32_->ImgSizeAdjustment());
  choose(PlaceGroup, TBtnImgPlace, ImgView32_->ImgPlace());
}
