#include "slideshow/FormImage.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Actions.h"
#include "app/FileListTexts.h"
#include "catalogue/ZmUtils.h"
#include "imageview/ZmImgView32.h"
#include "slideshow/ColorBox.h"

namespace {
const QString AppTitle = QStringLiteral("Kirvane");

// A path's bytes as the file system would show them (names need not be UTF-8).
QString PathText(std::string_view s) { return QFile::decodeName(QByteArray(s.data(), qsizetype(s.size()))); }
}  // namespace

TFormImage::TFormImage(IFormImageHost& host, QWidget* parent) : QMainWindow(parent), Host_(host) {
  setObjectName(QStringLiteral("FormImage"));
  setWindowTitle(AppTitle);
  setFocusPolicy(Qt::StrongFocus);
  CreateLayout();
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateBarPanel();
  ConnectCommands();

  // The window's own values; the settings file then overrides them. Missing keys keep them.
  ImgView32_->SetIniSectionName("SlideShow");
  ImgView32_->SetDefaults(SlideShowViewSettings());
  ImgView32_->ApplySettings(SlideShowViewSettings());
  setWindowState(windowState() | Qt::WindowMaximized);

  TimerAutoSlideShow = new QTimer(this);
  TimerAutoSlideShow->setInterval(ViewInterval_);
  connect(TimerAutoSlideShow, &QTimer::timeout, this, &TFormImage::AutoTimerFired);

  ThreadTimer1 = std::make_unique<TZmThreadTimer>();
  ThreadTimer1->SetEnabled(false);
  ThreadTimer1->SetInterval(10);
  ThreadTimer1->SetPriority(TThreadPriority::tpIdle);
  ThreadTimer1->OnTimer = [this](TZmThreadTimer& timer) { ScrollTick(timer.LagTickCount()); };

  Loader_.OnLoaded = [this](const std::string& path, const TZmLoadedImage& image) { ImageLoaded(path, image); };
}

TFormImage::~TFormImage() {
  ThreadTimer1.reset();  // no tick may reach a half-destroyed window
  hide();                // while the members its children may call on are still here
}

void TFormImage::CreateLayout() {
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  PanelBar = new QWidget(central);
  PanelBar->setObjectName(QStringLiteral("PanelBar"));
  PanelBar->setFixedHeight(33);
  PanelMain = new QWidget(central);
  PanelMain->setObjectName(QStringLiteral("PanelMain"));
  PanelMain->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  PanelMain->installEventFilter(this);
  column->addWidget(PanelBar);
  column->addWidget(PanelMain, 1);
  setCentralWidget(central);

  ImgView32_ = new TZmImgView32(PanelMain);
  ImgView32_->setObjectName(QStringLiteral("ImgView32"));
  connect(ImgView32_, &TImgView32::MouseDown, this, &TFormImage::ViewMouseDown);
  connect(ImgView32_, &TImgView32::MouseMove, this, &TFormImage::ViewMouseMove);
  connect(ImgView32_, &TImgView32::MouseUp, this, &TFormImage::ViewMouseUp);
  connect(ImgView32_, &TImgView32::MouseWheel, this, &TFormImage::ViewMouseWheel);

  // Four panels: hints, position, picture size, and one kept free.
  static const int PanelWidths[4] = {50, 130, 90, 50};
  for (int i = 0; i < 4; ++i) {
    SBPanels[i] = new QLabel(this);
    SBPanels[i]->setObjectName(QStringLiteral("SBPanel%1").arg(i));
    SBPanels[i]->setMinimumWidth(PanelWidths[i]);
    statusBar()->addWidget(SBPanels[i], i == 0 ? 1 : 0);
  }
}

void TFormImage::LayoutView() {
  // The view's own scroll bars lie outside the panel and are never seen.
  const int bar = ImgView32_->ScrollBarSize();
  ImgView32_->setGeometry(0, 0, PanelMain->width() + bar, PanelMain->height() + bar);
}

bool TFormImage::eventFilter(QObject* watched, QEvent* e) {
  if (watched == PanelMain && e->type() == QEvent::Resize) LayoutView();
  // A click on the bars' background gives the keys back to the window.
  if ((watched == ToolBar1 || watched == PanelBar) && e->type() == QEvent::MouseButtonPress) SetActiveControlNone();
  return QMainWindow::eventFilter(watched, e);
}

// ---------------------------------------------------------------------------------------------
// Starting, showing, navigating

void TFormImage::Start(uint8_t mode, int index) {
  TimerAutoSlideShow->stop();
  Host_.SetSlideShowMode(mode);
  Host_.SetSlideNowIndex(index);
  ImgView32_->SetFormFullScreen(ImgView32_->FormFullScreen());
  ThreadTimer1->SetEnabled(true);
  show();
  raise();
  activateWindow();
  // The timer starts with the first image shown.
  Host_.SetSlideNowIndex(index - 1);
  Navigate(TSlideNav::Forward);
}

void TFormImage::Navigate(TSlideNav nav) {
  const int count = Host_.SlideCount();
  const std::optional<int> target = SlideNavTarget(nav, Host_.SlideNowIndex(), count, Loop(),
                                                   [this](int i) { return Host_.SlideFolder(i); });
  if (!target) return;
  Host_.SetSlideNowIndex(*target);
  ShowCurrentImage();
}

void TFormImage::ShowCurrentImage() {
  ImgView32_->SetSpeedHorz(0);
  ImgView32_->SetSpeedVert(0);
  const int index = Host_.SlideNowIndex();
  if (index < 0 || index >= Host_.SlideCount()) return;
  // Input that arrives until the picture is shown is dropped; so are automatic steps.
  MouseButtonDown_ = false;
  TimerAutoSlideShow->stop();
  LoadingPath_ = Host_.SlidePath(index);
  Loader_.Request(LoadingPath_);  // a cached picture is shown before this returns
}

void TFormImage::ImageLoaded(const std::string& path, const TZmLoadedImage& image) {
  if (path != LoadingPath_ || !isVisible()) return;  // the slideshow ended meanwhile
  LoadingPath_.clear();
  try {
    ImgView32_->ShowLoaded(path, image);
    const int index = Host_.SlideNowIndex();
    if (index >= 0 && index < Host_.SlideCount()) Host_.SlideShown(index);
    AllUpdateActExecute();
    UpdateTitle();
  } catch (...) {
    // The input and the automatic mode come back whatever failed.
  }
  RestartAutoTimer();
  // After the picture's first paint (already queued), so that the decode does not compete with it.
  QTimer::singleShot(0, this, [this] {
    if (isVisible() && !Loading()) PrefetchNeighbours();
  });
}

void TFormImage::PrefetchNeighbours() {
  // The next picture first; in the automatic mode the previous one is not wanted.
  std::vector<std::string> paths;
  const int now = Host_.SlideNowIndex(), count = Host_.SlideCount();
  auto add = [&](TSlideNav nav) {
    const std::optional<int> i =
        SlideNavTarget(nav, now, count, Loop(), [this](int k) { return Host_.SlideFolder(k); });
    if (i && *i != now && *i >= 0 && *i < count) paths.push_back(Host_.SlidePath(*i));
  };
  add(TSlideNav::Forward);
  if (Host_.SlideShowMode() != 1) add(TSlideNav::Back);
  Loader_.Prefetch(std::move(paths));
}

void TFormImage::SetMode(uint8_t mode) {
  Host_.SetSlideShowMode(mode);
  if (mode == 1) {
    if (!TimerAutoSlideShow->isActive() && !Loading()) RestartAutoTimer();
  } else {
    TimerAutoSlideShow->stop();
  }
}

void TFormImage::RestartAutoTimer() {
  TimerAutoSlideShow->stop();
  if (Host_.SlideShowMode() != 1) return;
  // A stored interval below 1 ms (a hand-edited file) runs as fast as pictures load.
  TimerAutoSlideShow->setInterval(std::max<int32_t>(1, ViewInterval_));
  TimerAutoSlideShow->start();
}

bool TFormImage::AutoTimerActive() const { return TimerAutoSlideShow->isActive(); }

void TFormImage::AutoTimerFired() {
  if (isVisible() && !Loading()) Navigate(TSlideNav::Forward);
}

void TFormImage::SlideShowExitActExecute() {
  ThreadTimer1->SetEnabled(false);
  MouseButtonDown_ = LeftDragging_ = RightDragging_ = false;
  LoadingPath_.clear();
  Loader_.Cancel();
  ImgView32_->ClearImage();
  // The cache belongs to this list; a later start may be on another one.
  Loader_.ClearCache();
  hide();
  Host_.SlideShowEnded(Host_.SlideNowIndex());
}

void TFormImage::closeEvent(QCloseEvent* e) {
  // The system's close command only hides the window; no scrolling ticks while it is hidden.
  e->ignore();
  ThreadTimer1->SetEnabled(false);
  hide();
}

void TFormImage::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  if (e->type() == QEvent::ActivationChange && isActiveWindow()) {
    UpdateTitle();
    AllUpdateActExecute();
  }
}

bool TFormImage::event(QEvent* e) {
  if (e->type() == QEvent::StatusTip) {
    SBPanels[0]->setText(static_cast<QStatusTipEvent*>(e)->tip());
    return true;
  }
  return QMainWindow::event(e);
}

void TFormImage::UpdateTitle() {
  const int index = Host_.SlideNowIndex();
  if (!isVisible() || index < 0 || index >= Host_.SlideCount()) return;
  const std::string path = Host_.SlidePath(index);
  const std::string_view folder = Host_.SlideFolder(index);
  const QString title =
      PathText(ExtractFileName(path)) + QLatin1Char(' ') + PathText(folder) + QStringLiteral(" - ") + AppTitle;
  if (windowTitle() != title) setWindowTitle(title);
}

void TFormImage::AllUpdateActExecute() {
  const int seconds = ViewInterval_ / 1000;
  if (UpDownViewInterval->value() != seconds || seconds < 0) {
    const QSignalBlocker block(UpDownViewInterval);
    UpDownViewInterval->setValue(std::max(0, seconds));
  }
  const QString scale = QString::number(double(ImgView32_->Scale()), 'g', 15);
  if (ComboBoxScale->currentText() != scale) {
    ComboBoxScale->setEditText(scale);
    ComboBoxScale->lineEdit()->setCursorPosition(0);  // the leading digits matter most
  }
  ColorBox_->SetColor(ImgView32_->BGColor());

  const int index = Host_.SlideNowIndex(), count = Host_.SlideCount();
  SBPanels[1]->setText(index >= 0 && index < count ? ToQ(PositionText(index, count)) : QString());
  const TBitmap32& bitmap = ImgView32_->Bitmap();
  SBPanels[2]->setText(ImgView32_->LoadErrorText().isEmpty()
                           ? ToQ(FormatCount(bitmap.Width()) + "x" + FormatCount(bitmap.Height()))
                           : QString());
  SetActiveControlNone();
}

void TFormImage::SetActiveControlNone() {
  if (isVisible() && focusWidget() != this) setFocus(Qt::OtherFocusReason);
}

QString TFormImage::StatusText(int panel) const {
  return panel >= 0 && panel < 4 ? SBPanels[panel]->text() : QString();
}

QAction* TFormImage::Action(const char* objectName) const {
  return findChild<QAction*>(QString::fromLatin1(objectName), Qt::FindDirectChildrenOnly);
}

// ---------------------------------------------------------------------------------------------
// Settings

bool TFormImage::Loop() const { return LoopAct->isChecked(); }
void TFormImage::SetLoop(bool on) { LoopAct->setChecked(on); }
bool TFormImage::BarVisible() const { return BarVisibleAct->isChecked(); }
void TFormImage::SetBarVisible(bool on) { BarVisibleAct->setChecked(on); }

void TFormImage::SetViewInterval(int32_t ms) {
  ViewInterval_ = ms;
  if (TimerAutoSlideShow->isActive()) RestartAutoTimer();
}
