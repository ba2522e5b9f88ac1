// TFormImage: the slideshow window. It shows the entries of the main window's file list one at a
// time, moves through them by one, by ten, to the ends and by folder, optionally wraps around,
// and advances by itself in the automatic mode. Every image shown becomes the selected and
// focused row of the main list, so that the main window stands on the last image seen when the
// slideshow ends.
//
// The window keeps no list of its own: it reads the main window's list and NowIndex through
// IFormImageHost. Pictures come from an image loader, never decoded on this thread; while one
// loads, the window's keys and the image's clicks are dropped (Esc and the middle button still end
// the slideshow), and the title, status bar and main-list selection change only when it is shown.
//
// Split by concern:
//   FormImage.cpp         life cycle, layout, showing an image, navigation, modes, end, settings
//   FormImageActions.cpp  the command table, menus, tool bar, bar panel, the command rules
//   FormImageInput.cpp    keys, mouse, wheel and continuous scrolling
// User-interface thread only.
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "imageview/ZmImageLoader.h"
#include "slideshow/SlideShowRules.h"
#include "slideshow/ZmThreadTimer.h"

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QSpinBox;
class QTimer;
class QToolBar;
class QToolButton;
class TFileCommands;
class TZmColorBox;
class TZmImgView32;

// What the slideshow needs of the main window.
class IFormImageHost {
 public:
  virtual ~IFormImageHost() = default;
  // The visible file list: entries 0..Count-1, each a folder (ending in "/") and a full path.
  virtual int SlideCount() const = 0;
  virtual std::string_view SlideFolder(int index) const = 0;
  virtual std::string SlidePath(int index) const = 0;
  // The process-wide index of the image shown.
  virtual int SlideNowIndex() const = 0;
  virtual void SetSlideNowIndex(int index) = 0;
  // The application's slideshow mode (0 manual, 1 automatic).
  virtual uint8_t SlideShowMode() const = 0;
  virtual void SetSlideShowMode(uint8_t mode) = 0;
  // An image was shown: the main list selects and focuses row `index` alone, titles follow.
  virtual void SlideShown(int index) = 0;
  // The slideshow ended on `index` (possibly out of range): the main list scrolls it into view
  // and takes the keyboard focus.
  virtual void SlideShowEnded(int index) = 0;
  // The application's copy, move and delete, shared with the main window.
  virtual TFileCommands& FileCommands() = 0;
};

class TFormImage : public QMainWindow {
  Q_OBJECT

 public:
  explicit TFormImage(IFormImageHost& host, QWidget* parent = nullptr);
  ~TFormImage() override;

  // ---- Starting (the main window's slideshow commands) ----
  // Disables the automatic timer; for `mode` 1 enables it; re-applies full screen; enables the
  // scroll timer; shows the window and the image at `index`.
  void Start(uint8_t mode, int index);
  QAction* ExitAction() const { return SlideShowExitAct; }

  // ---- Settings kept in this window's commands ("SlideShow" section) ----
  bool Loop() const;
  void SetLoop(bool on);
  int32_t ViewInterval() const { return ViewInterval_; }  // milliseconds, as stored
  void SetViewInterval(int32_t ms);
  bool BarVisible() const;
  void SetBarVisible(bool on);  // the check only: bars follow it when the command runs
  TZmImgView32* ImgView32() const { return ImgView32_; }

  // ---- For the main window and tests ----
  void UpdateTitle();
  bool AutoTimerActive() const;
  bool Loading() const { return !LoadingPath_.empty(); }
  TZmImageLoader& Loader() { return Loader_; }
  QString StatusText(int panel) const;
  QAction* Action(const char* objectName) const;
  QComboBox* ScaleBox() const { return ComboBoxScale; }
  QSpinBox* IntervalBox() const { return UpDownViewInterval; }
  TZmColorBox* ColorBox() const { return ColorBox_; }
  // Recomputes the enabled and checked state of every command (normally done when idle).
  void ActionListUpdate();
  // The scroll timer's handler with a given lag (ms), as a tick runs it.
  void ScrollTick(uint32_t lagMs);

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  // FormImage.cpp
  void CreateLayout();
  void LayoutView();
  void ShowCurrentImage();
  void ImageLoaded(const std::string& path, const TZmLoadedImage& image);
  void PrefetchNeighbours();
  void Navigate(TSlideNav nav);
  void SetMode(uint8_t mode);
  void RestartAutoTimer();
  void AutoTimerFired();
  void SlideShowExitActExecute();
  void AllUpdateActExecute();
  void SetActiveControlNone();

  // FormImageActions.cpp
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreateBarPanel();
  void ConnectCommands();
  void BarVisibleActExecute();
  void ScaleBoxAccept();
  void IntervalAccept();

  // FormImageInput.cpp
  void Execute(TSlideCommand command);
  void ViewMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
  void ViewMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint pos);
  void ViewMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
  void ViewMouseWheel(int delta, Qt::KeyboardModifiers modifiers, QPoint pos);
  void CycleSizeAdjustment(int step);
  void CycleStretchFilter(int step);
  bool ImageWider() const;
  bool ImageTaller() const;

  IFormImageHost& Host_;
  TZmImageLoader Loader_;
  std::string LoadingPath_;  // the picture being loaded; input waits for it
  int32_t ViewInterval_ = 3000;
  QTimer* TimerAutoSlideShow = nullptr;
  std::unique_ptr<TZmThreadTimer> ThreadTimer1;

  // Mouse state on the image.
  bool MouseButtonDown_ = false;
  bool LeftDragging_ = false;
  bool RightDragging_ = false;
  QPoint LastCursorPos_, DownCursorPos_, DownFormPos_;

  // ---- Widgets ----
  QToolBar* ToolBar1 = nullptr;
  QWidget* PanelBar = nullptr;
  QWidget* PanelMain = nullptr;
  TZmImgView32* ImgView32_ = nullptr;
  TZmColorBox* ColorBox_ = nullptr;
  QComboBox* ComboBoxScale = nullptr;
  QSpinBox* UpDownViewInterval = nullptr;
  QLabel* SBPanels[4] = {};
  QToolButton* TBtnStretchFilter = nullptr;
  QToolButton* TBtnImgSizeAdjustment = nullptr;
  QToolButton* TBtnImgPlace = nullptr;
  QToolButton* TBtnSlideShowMode = nullptr;
  QActionGroup *ModeGroup = nullptr, *FilterGroup = nullptr, *SizeGroup = nullptr, *PlaceGroup = nullptr;

  // ---- Commands ----
  QAction *ForwardImageShowAct, *BackImageShowAct, *PageDownImageShowAct, *PageUpImageShowAct, *HomeImageShowAct,
      *EndImageShowAct, *ForwardFolderImageShowAct, *BackFolderImageShowAct, *ShowModeManualAct, *ShowModeAutoAct,
      *ShowModeAutoStopAct, *LoopAct, *SlideShowExitAct, *AllUpdateAct, *ImgPlaceBottomLeftAct, *ImgPlaceBottomAct,
      *ImgPlaceBottomRightAct, *ImgPlaceLeftAct, *ImgPlaceCenterAct, *ImgPlaceRightAct, *ImgPlaceTopLeftAct,
      *ImgPlaceTopAct, *ImgPlaceTopRightAct, *StretchFilterNearestAct, *StretchFilterLinearAct,
      *StretchFilterSplineAct, *StretchFilterLanczosAct, *StretchFilterMitchellAct, *SANoneAct, *AutoWindowSizeAct,
      *AutoScaleLongAct, *AutoScaleShortAct, *FullScreenAct, *TitleBarVisibleAct, *CursorVisibleAct,
      *ReverseMoveAct, *BarVisibleAct, *ScaleNormalAct, *ScaleUpAct, *ScaleDownAct, *ImageCopyAct,
      *ImageNameCopyAct, *CopyFileOneAct, *MoveFileOneAct, *DeleteFileOneAct, *OpenShellOneAct,
      *OpenExplorerOneAct, *OpenFolderOneAct;
};
