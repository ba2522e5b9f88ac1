#include "dialogs/OptionDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

#include "app/Actions.h"
#include "catalogue/ZmThreadFileInfoList.h"
#include "columns/ZmListView.h"
#include "imageview/ZmGraphicExItemList.h"
#include "imageview/ZmImgView32.h"
#include "options/OptionsKv.h"
#include "slideshow/ColorBox.h"

namespace {

constexpr double MinScale = 0.015625, MaxScale = 256;
constexpr int MaxInterval = 1000, MaxColumnWidth = 1600;
constexpr int Cell = 16;  // the picture's side in the place preview, and the grid's cell

// A whole number from plain digits (an optional minus sign); false for anything else.
bool ParseInteger(const QString& text, int& value) {
  bool ok = false;
  value = text.trimmed().toInt(&ok);
  return ok;
}

// A real number in the C or the user's notation.
bool ParseReal(const QString& text, double& value) {
  bool ok = false;
  value = text.trimmed().toDouble(&ok);
  if (!ok) value = QLocale().toDouble(text.trimmed(), &ok);
  return ok && std::isfinite(value);
}

QString ScaleText(double scale) { return QString::number(scale, 'g', 15); }

QColor ToQColor(TColor c) {
  const TColor rgb = ColorToRGB(c);
  return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

// A list's index for a live code: a code outside the list (a hand-edited settings file) shows,
// and is stored back as, the list's factory choice.
int IndexFor(const QComboBox* box, int code, int fallback) { return code >= 0 && code < box->count() ? code : fallback; }

QComboBox* NewList(QWidget* parent, const char* name, std::initializer_list<const char*> items) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  for (const char* item : items) box->addItem(QString::fromUtf8(item));
  return box;
}

QCheckBox* NewCheck(QWidget* parent, const char* name, const char* caption) {
  auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

}  // namespace

// A number field with spin buttons that keeps whatever is typed: OK checks it, so a value out of
// range reaches the check and its message instead of being refused while typing.
class TUpDownEdit : public QWidget {
 public:
  TUpDownEdit(QWidget* parent, const char* name, int min, int max) : QWidget(parent), Min_(min), Max_(max) {
    Edit_ = new QLineEdit(this);
    Edit_->setObjectName(QString::fromLatin1(name));
    Edit_->installEventFilter(this);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(Edit_);
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(0);
    for (int step : {1, -1}) {
      auto* b = new QToolButton(this);
      b->setArrowType(step > 0 ? Qt::UpArrow : Qt::DownArrow);
      b->setAutoRepeat(true);
      b->setFocusPolicy(Qt::NoFocus);
      b->setFixedSize(16, 12);
      connect(b, &QToolButton::clicked, this, [this, step] { Step(step); });
      buttons->addWidget(b);
    }
    row->addLayout(buttons);
  }
  QLineEdit* Edit() const { return Edit_; }
  void SetValue(int v) { Edit_->setText(QString::number(std::clamp(v, Min_, Max_))); }
  // The spin position: the typed number held to the range, or the range's low end.
  int Position() const {
    int v = 0;
    return ParseInteger(Edit_->text(), v) ? std::clamp(v, Min_, Max_) : Min_;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched == Edit_ && e->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(e)->key();
      if (key == Qt::Key_Up || key == Qt::Key_Down) {
        Step(key == Qt::Key_Up ? 1 : -1);
        return true;
      }
    }
    return QWidget::eventFilter(watched, e);
  }

 private:
  void Step(int by) { SetValue(Position() + by); }
  QLineEdit* Edit_;
  int Min_, Max_;
};

// The image-place preview: a 3 x 3 grid in the background colour with the picture in its cell.
// The picture can be dragged to another cell.
class TPlacePreview : public QWidget {
 public:
  explicit TPlacePreview(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ShapeBackGround"));
    setFixedSize(3 * Cell, 3 * Cell);
    setMouseTracking(true);
  }
  std::function<void(int code)> OnDropped;

  void SetPlace(int code) {
    Cell_ = QPoint(code % 3, 2 - code / 3);
    Drag_.reset();
    update();
  }
  void SetColors(QColor background, QColor picture) {
    Background_ = background;
    Picture_ = picture;
    update();
  }
  QRect PictureRect() const { return Drag_ ? QRect(*Drag_, QSize(Cell, Cell)) : QRect(Cell_ * Cell, QSize(Cell, Cell)); }
  // A drop at `at` (relative to the preview): the cell there, when it is inside the grid.
  void DropAt(QPoint at) {
    Drag_.reset();
    if (at.x() >= 0 && at.x() < 3 * Cell && at.y() >= 0 && at.y() < 3 * Cell) {
      const int code = (2 - at.y() / Cell) * 3 + at.x() / Cell;
      SetPlace(code);
      if (OnDropped) OnDropped(code);
    }
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Background_);
    p.setPen(Picture_ == Qt::white ? Qt::white : Picture_);
    p.fillRect(PictureRect(), Picture_);
    p.setPen(Qt::white);
    p.drawRect(PictureRect().adjusted(0, 0, -1, -1));
  }
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton && PictureRect().contains(e->position().toPoint()))
      Grab_ = e->position().toPoint() - PictureRect().topLeft(), Drag_ = PictureRect().topLeft();
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    setCursor(Drag_ || PictureRect().contains(e->position().toPoint()) ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (!Drag_) return;
    Drag_ = e->position().toPoint() - Grab_;
    update();
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (Drag_) DropAt(e->position().toPoint());
  }

 private:
  QPoint Cell_{1, 1};
  std::optional<QPoint> Drag_;  // the picture's top-left while it is dragged
  QPoint Grab_;
  QColor Background_ = Qt::black, Picture_ = QColor(128, 128, 128);
};

TOptionDialog::TOptionDialog(const TOptionTargets& targets, QWidget* parent) : QDialog(parent), T_(targets) {
  setObjectName(QStringLiteral("OptionDialog"));
  setWindowTitle(QStringLiteral("オプション"));
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setUsesScrollButtons(false);  // every page name stays in sight
  CreateSlideShowPage();
  CreateLayoutPage();
  CreateFormatsPage();
  CreateGeneralPage();
  CreateColumnsPage();

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("BtnOK"));
  ok->setDefault(true);
  buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("BtnCancel"));
  QPushButton* reset = buttons->addButton(QStringLiteral("初期化する"), QDialogButtonBox::ResetRole);
  reset->setObjectName(QStringLiteral("Button1"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(reset, &QPushButton::clicked, this, &TOptionDialog::DefaultAct);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl1);
  layout->addWidget(buttons);
  resize(sizeHint().expandedTo(QSize(401, 401)));
}

// ---- Pages ----

void TOptionDialog::CreateSlideShowPage() {
  auto* page = new QWidget(PageControl1);
  auto* form = new QFormLayout(page);
  ComboBoxStretchFilter =
      NewList(page, "ComboBoxStretchFilter", {"Nearest [標準]", "Linear", "Spline", "Lanczos", "Mitchell"});
  ComboBoxSlideShowMode = NewList(page, "ComboBoxSlideShowMode", {"手動スライドショー", "自動スライドショー"});
  EditViewInterval = new TUpDownEdit(page, "EditViewInterval", 0, MaxInterval);
  auto* interval = new QHBoxLayout;
  interval->addWidget(EditViewInterval);
  interval->addWidget(new QLabel(QStringLiteral("秒 (0-1000 秒)"), page));
  interval->addStretch(1);
  CheckBoxReverseMove = NewCheck(page, "CheckBoxReverseMove", "反転移動(&R)");
  CheckBoxLoop = NewCheck(page, "CheckBoxLoop", "ループ(&L)");
  form->addRow(QStringLiteral("伸縮フィルタ(&S)"), ComboBoxStretchFilter);
  form->addRow(QStringLiteral("スライドショーモード(&M)"), ComboBoxSlideShowMode);
  form->addRow(QStringLiteral("表示間隔(&N)"), interval);
  static_cast<QLabel*>(form->labelForField(interval))->setBuddy(EditViewInterval->Edit());
  form->addRow(CheckBoxReverseMove);
  form->addRow(CheckBoxLoop);
  PageControl1->addTab(page, QStringLiteral("スライドショー"));
}

void TOptionDialog::CreateLayoutPage() {
  auto* page = new QWidget(PageControl1);
  auto* form = new QFormLayout(page);
  ComboBoxSizeAdjustment =
      NewList(page, "ComboBoxSizeAdjustment", {"なし", "自動ウィンドウサイズ", "自動倍率1", "自動倍率2"});
  ComboBoxImgPlace =
      NewList(page, "ComboBoxImgPlace", {"左下", "下", "右下", "左", "真中", "右", "左上", "上", "右上"});
  ColorBoxBG = new TZmColorBox(page);
  ColorBoxBG->setObjectName(QStringLiteral("ColorBoxBG"));
  ComboBoxScale = new QComboBox(page);
  ComboBoxScale->setObjectName(QStringLiteral("ComboBoxScale"));
  ComboBoxScale->setEditable(true);
  ComboBoxScale->setInsertPolicy(QComboBox::NoInsert);
  ComboBoxScale->setCompleter(nullptr);
  for (const char* s : ScaleChoices) ComboBoxScale->addItem(QString::fromLatin1(s));
  auto* scale = new QHBoxLayout;
  scale->addWidget(ComboBoxScale);
  // "%f" gives two decimals, so the lower bound reads 0.02.
  scale->addWidget(new QLabel(QString::asprintf("倍 (%.2f-%d 倍)", MinScale, int(MaxScale)), page));
  scale->addStretch(1);
  CheckBoxFullScreen = NewCheck(page, "CheckBoxFullScreen", "フルスクリーン(&F)");
  CheckBoxTitleBarView = NewCheck(page, "CheckBoxTitleBarView", "タイトル バーの表示(&T)");
  CheckBoxBarVisible = NewCheck(page, "CheckBoxBarVisible", "バーを常に表示(&B)");
  CheckBoxCursorView = NewCheck(page, "CheckBoxCursorView", "マウスカーソル表示(&C)");
  ShapeBackGround = new TPlacePreview(page);
  form->addRow(QStringLiteral("サイズ調整(&A)"), ComboBoxSizeAdjustment);
  auto* place = new QHBoxLayout;
  place->addWidget(ComboBoxImgPlace);
  place->addWidget(ShapeBackGround);
  place->addStretch(1);
  form->addRow(QStringLiteral("画像表示位置(&P)"), place);
  static_cast<QLabel*>(form->labelForField(place))->setBuddy(ComboBoxImgPlace);
  form->addRow(QStringLiteral("背景色(&G)"), ColorBoxBG);
  form->addRow(QStringLiteral("倍率(&L)"), scale);
  static_cast<QLabel*>(form->labelForField(scale))->setBuddy(ComboBoxScale);
  for (QCheckBox* c : {CheckBoxFullScreen, CheckBoxTitleBarView, CheckBoxBarVisible, CheckBoxCursorView}) form->addRow(c);
  connect(ComboBoxImgPlace, &QComboBox::activated, this, [this](int code) { ShowPlace(code); });
  connect(ColorBoxBG, &TZmColorBox::ColorChosen, this, [this] { ShowColor(); });
  ShapeBackGround->OnDropped = [this](int code) {
    const QSignalBlocker quiet(ComboBoxImgPlace);
    ComboBoxImgPlace->setCurrentIndex(code);
  };
  PageControl1->addTab(page, QStringLiteral("スライドショーレイアウト"));
}

void TOptionDialog::CreateFormatsPage() {
  auto* page = new QWidget(PageControl1);
  LVType = new QTreeWidget(page);
  LVType->setObjectName(QStringLiteral("LVType"));
  LVType->setHeaderLabels({QStringLiteral("名前"), QStringLiteral("拡張子")});
  LVType->header()->setSectionsClickable(false);
  LVType->setRootIsDecorated(false);
  LVType->setColumnWidth(0, 150);
  LVType->setColumnWidth(1, 170);
  LVType->setSelectionBehavior(QAbstractItemView::SelectRows);
  TZmGraphicExItemList& formats = T_.Host.Formats();
  for (int i = 0; i < formats.Count(); ++i) {
    auto* item = new QTreeWidgetItem(LVType, {ToQ(formats.Items(i).IniKey()), ToQ(formats.Items(i).FileMask)});
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Checked);
  }
  auto* all = new QPushButton(QStringLiteral("全選択"), page);
  all->setObjectName(QStringLiteral("Button4"));
  connect(all, &QPushButton::clicked, this, &TOptionDialog::SelectAllAct);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(LVType);
  layout->addWidget(all, 0, Qt::AlignLeft);
  PageControl1->addTab(page, QStringLiteral("画像の種類"));
}

void TOptionDialog::CreateGeneralPage() {
  auto* page = new QWidget(PageControl1);
  auto* form = new QFormLayout(page);
  CheckBoxSubFolderSearch = NewCheck(page, "CheckBoxSubFolderSearch", "サブフォルダも検索(&S)");
  CheckBoxHiddenFileView = NewCheck(page, "CheckBoxHiddenFileView", "隠しファイルを表示(&H)");
  CheckBoxDoNow = NewCheck(page, "CheckBoxDoNow", "すぐにスライドショー開始(&D)");
  CheckBoxFolderBarVisible = NewCheck(page, "CheckBoxFolderBarVisible", "フォルダ(&O)");
  ComboBoxFilePriority = NewList(page, "ComboBoxFilePriority",
                                 {"Idle", "Lowest", "Lower", "Normal", "Higher", "Highest (推奨)", "TimeCritical"});
  ComboBoxImgViewMode = NewList(page, "ComboBoxImgViewMode", {"表示しない", "実寸表示", "自動倍率"});
  for (QCheckBox* c : {CheckBoxSubFolderSearch, CheckBoxHiddenFileView, CheckBoxDoNow, CheckBoxFolderBarVisible})
    form->addRow(c);
  form->addRow(QStringLiteral("ファイルスレッド優先度(&T)"), ComboBoxFilePriority);
  form->addRow(QStringLiteral("画像の表示(&V)"), ComboBoxImgViewMode);
  PageControl1->addTab(page, QStringLiteral("全般"));
}

void TOptionDialog::CreateColumnsPage() {
  auto* page = new QWidget(PageControl1);
  ListViewCE = new QTreeWidget(page);
  ListViewCE->setObjectName(QStringLiteral("ListViewCE"));
  ListViewCE->setHeaderHidden(true);
  ListViewCE->setRootIsDecorated(false);
  ListViewCE->setColumnCount(1);
  EditWidth = new TUpDownEdit(page, "EditWidth", 0, MaxColumnWidth);
  auto* width = new QHBoxLayout;
  auto* label = new QLabel(QStringLiteral("選択した列の幅(&W)"), page);
  label->setBuddy(EditWidth->Edit());
  width->addWidget(label);
  width->addWidget(EditWidth);
  width->addWidget(new QLabel(QStringLiteral("ピクセル"), page));
  width->addStretch(1);
  auto* buttons = new QVBoxLayout;
  auto command = [&](QAction*& action, const char* name, const char* caption, const char* button,
                     std::function<void()> run) {
    action = new QAction(QString::fromUtf8(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, std::move(run));
    auto* b = new QToolButton(page);
    b->setObjectName(QString::fromLatin1(button));
    b->setDefaultAction(action);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    buttons->addWidget(b);
  };
  const auto check = [this](bool on) {
    if (QTreeWidgetItem* item = ListViewCE->currentItem()) item->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    ListViewCE->setFocus();
  };
  command(RowsUpAct, "RowsUpAct", "上へ(&U)", "BtnUp", [this] { MoveColumn(-1); });
  command(RowsDownAct, "RowsDownAct", "下へ(&D)", "BtnDown", [this] { MoveColumn(1); });
  command(RowsShowAct, "RowsShowAct", "表示(&S)", "BtnShow", [check] { check(true); });
  command(RowsHideAct, "RowsHideAct", "非表示(&H)", "BtnHide", [check] { check(false); });
  command(RowsResetAct, "RowsResetAct", "リセット(&R)", "BtnReset", [this] {
    std::vector<TZmColumnEditorRow> rows;
    T_.FileList.FillColumnEditorDefaults(rows);
    FillColumns(rows);
    if (QTreeWidgetItem* first = ListViewCE->topLevelItem(0)) {
      ListViewCE->setCurrentItem(first);
      first->setSelected(true);
    }
  });
  buttons->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addWidget(ListViewCE, 1);
  top->addLayout(buttons);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(top);
  layout->addLayout(width);

  connect(ListViewCE, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) { ColumnsChanged(item); });
  connect(ListViewCE, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item) EditWidth->SetValue(item->data(0, Qt::UserRole).toInt());
    UpdateColumnCommands();
  });
  connect(EditWidth->Edit(), &QLineEdit::textChanged, this, [this] {
    int typed = 0;
    if (QTreeWidgetItem* item = ListViewCE->currentItem(); item && ParseInteger(EditWidth->Edit()->text(), typed))
      item->setData(0, Qt::UserRole, EditWidth->Position());
  });
  PageControl1->addTab(page, QStringLiteral("列の設定"));
}

void TOptionDialog::ShowColumnsPage() { PageControl1->setCurrentIndex(4); }

// ---- Live objects to controls and back ----

void TOptionDialog::OptionsToDlgAct() {
  TZmImgView32& view = T_.View;
  IKirvaneOptionsHost& host = T_.Host;
  ComboBoxStretchFilter->setCurrentIndex(IndexFor(ComboBoxStretchFilter, view.StretchFilter(), sfNearest));
  ComboBoxSlideShowMode->setCurrentIndex(IndexFor(ComboBoxSlideShowMode, T_.Options.ShowMode, smManual));
  EditViewInterval->SetValue(host.ViewInterval() / 1000);
  CheckBoxReverseMove->setChecked(view.ReverseMove());
  CheckBoxLoop->setChecked(host.Loop());
  ComboBoxSizeAdjustment->setCurrentIndex(IndexFor(ComboBoxSizeAdjustment, view.ImgSizeAdjustment(), saNone));
  ComboBoxImgPlace->setCurrentIndex(IndexFor(ComboBoxImgPlace, view.ImgPlace(), ipCenter));
  ShowPlace(ComboBoxImgPlace->currentIndex());
  ColorBoxBG->SetColor(view.BGColor());
  ShowColor();
  SetScaleText(view.Scale());
  CheckBoxFullScreen->setChecked(view.FormFullScreen());
  CheckBoxTitleBarView->setChecked(view.FormTitleBarVisible());
  CheckBoxBarVisible->setChecked(host.BarVisible());
  CheckBoxCursorView->setChecked(view.CursorMode());
  const TZmThreadFileInfoList& files = host.FileList();
  CheckBoxSubFolderSearch->setChecked(files.Options & filoSubFolderSearch);
  CheckBoxHiddenFileView->setChecked(files.Options & filoHiddenFileView);
  CheckBoxDoNow->setChecked(host.DoNow());
  CheckBoxFolderBarVisible->setChecked(host.FolderBarVisible());
  ComboBoxFilePriority->setCurrentIndex(
      IndexFor(ComboBoxFilePriority, int(files.Priority), int(TThreadPriority::tpHighest)));
  ComboBoxImgViewMode->setCurrentIndex(IndexFor(ComboBoxImgViewMode, T_.Options.ImgViewMode, ivAutoScaleLong));
  TZmGraphicExItemList& formats = host.Formats();
  for (int i = 0; i < LVType->topLevelItemCount() && i < formats.Count(); ++i)
    LVType->topLevelItem(i)->setCheckState(0, formats.Items(i).Enabled ? Qt::Checked : Qt::Unchecked);
  T_.FileList.StoreColumnWidths();
  std::vector<TZmColumnEditorRow> rows;
  T_.FileList.FillColumnEditor(rows);
  FillColumns(rows);
}

void TOptionDialog::DlgToOptionsAct() {
  TZmImgView32& view = T_.View;
  IKirvaneOptionsHost& host = T_.Host;
  view.SetStretchFilter(TStretchFilter(ComboBoxStretchFilter->currentIndex()));
  T_.Options.ShowMode = uint8_t(ComboBoxSlideShowMode->currentIndex());
  host.SetViewInterval(std::max(EditViewInterval->Position() * 1000, 1));
  view.SetReverseMove(CheckBoxReverseMove->isChecked());
  host.SetLoop(CheckBoxLoop->isChecked());
  view.SetImgSizeAdjustment(TZmImgSizeAdjustment(ComboBoxSizeAdjustment->currentIndex()));
  view.SetImgPlace(TZmImgPlace(ComboBoxImgPlace->currentIndex()));
  view.SetBGColor(ColorBoxBG->Color());
  double scale = 0;
  if (!ParseReal(ComboBoxScale->currentText(), scale)) scale = view.Scale();
  view.ZoomTo(std::max(scale, MinScale));
  view.SetFormFullScreen(CheckBoxFullScreen->isChecked());
  view.SetFormTitleBarVisible(CheckBoxTitleBarView->isChecked());
  host.SetBarVisible(CheckBoxBarVisible->isChecked());
  view.SetCursorMode(CheckBoxCursorView->isChecked());
  TZmThreadFileInfoList& files = host.FileList();
  auto option = [&files](TZmFileInfoListOptions flag, bool on) {
    files.Options = TZmFileInfoListOptions(on ? files.Options | flag : files.Options & ~flag);
  };
  option(filoSubFolderSearch, CheckBoxSubFolderSearch->isChecked());
  option(filoHiddenFileView, CheckBoxHiddenFileView->isChecked());
  host.SetDoNow(CheckBoxDoNow->isChecked());
  host.SetFolderBarVisible(CheckBoxFolderBarVisible->isChecked());
  files.Priority = TThreadPriority(ComboBoxFilePriority->currentIndex());
  T_.Options.ImgViewMode = uint8_t(ComboBoxImgViewMode->currentIndex());
  T_.Options.Apply(host);
  TZmGraphicExItemList& formats = host.Formats();
  for (int i = 0; i < LVType->topLevelItemCount() && i < formats.Count(); ++i)
    formats.Items(i).Enabled = LVType->topLevelItem(i)->checkState(0) == Qt::Checked;
  files.SetExtList(formats.ExtensionList());
  T_.FileList.ApplyColumnEditor(ColumnRows());
  T_.FileList.RebuildColumns();
}

void TOptionDialog::DefaultAct() {
  const TZmImgView32Defaults& view = T_.View.Defaults();
  const TKirvaneDefaults& app = *T_.Options.Defaults;
  const TZmThreadFileInfoListDefaults& files = *T_.Host.FileList().Defaults;
  ComboBoxStretchFilter->setCurrentIndex(IndexFor(ComboBoxStretchFilter, view.StretchFilter, sfNearest));
  ComboBoxSlideShowMode->setCurrentIndex(app.ShowMode);
  EditViewInterval->SetValue(app.ViewInterval);
  CheckBoxReverseMove->setChecked(view.ReverseMove);
  CheckBoxLoop->setChecked(app.Loop);
  ComboBoxSizeAdjustment->setCurrentIndex(view.ImgSizeAdjustment);
  ComboBoxImgPlace->setCurrentIndex(view.ImgPlace);
  ShowPlace(view.ImgPlace);
  ColorBoxBG->SetColor(view.BGColor);
  ShowColor();
  SetScaleText(view.Scale);
  CheckBoxFullScreen->setChecked(view.FormFullScreen);
  CheckBoxTitleBarView->setChecked(view.FormTitleBarVisible);
  CheckBoxBarVisible->setChecked(app.BarVisible);
  CheckBoxCursorView->setChecked(view.CursorMode);
  CheckBoxSubFolderSearch->setChecked(files.DefaultOptions & filoSubFolderSearch);
  CheckBoxHiddenFileView->setChecked(files.DefaultOptions & filoHiddenFileView);
  CheckBoxDoNow->setChecked(app.DoNow);
  CheckBoxFolderBarVisible->setChecked(app.FolderBarVisible);
  ComboBoxFilePriority->setCurrentIndex(int(files.DefaultPriority));
  ComboBoxImgViewMode->setCurrentIndex(app.ImgViewMode);
  for (int i = 0; i < LVType->topLevelItemCount(); ++i) LVType->topLevelItem(i)->setCheckState(0, Qt::Checked);
  RowsResetAct->trigger();
}

void TOptionDialog::SelectAllAct() {
  const int n = LVType->topLevelItemCount();
  const Qt::CheckState to = n > 0 && LVType->topLevelItem(0)->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked;
  for (int i = 0; i < n; ++i) LVType->topLevelItem(i)->setCheckState(0, to);
}

void TOptionDialog::SetScaleText(double scale) { ComboBoxScale->setEditText(ScaleText(scale)); }

void TOptionDialog::ShowPlace(int code) { ShapeBackGround->SetPlace(std::clamp(code, 0, 8)); }

void TOptionDialog::ShowColor() {
  ShapeBackGround->SetColors(ToQColor(ColorBoxBG->Color()), ToQColor(ContrastColor(ColorBoxBG->Color())));
}

// ---- OK ----

void TOptionDialog::done(int result) {
  if (result == QDialog::Accepted && !Validate()) return;
  QDialog::done(result);
}

bool TOptionDialog::Validate() {
  auto refuse = [this](QWidget* field, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("注意"), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("OptionWarning"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, field, [field] { field->setFocus(); });
    box->open();
    return false;
  };
  int interval = 0;
  if (!ParseInteger(EditViewInterval->Edit()->text(), interval) || interval < 0 || interval > MaxInterval) {
    EditViewInterval->SetValue(T_.Host.ViewInterval() / 1000);
    return refuse(EditViewInterval->Edit(), QStringLiteral("自動スライドショーの間隔は、\n0-1000 秒の間の整数で指定してください。"));
  }
  double scale = 0;
  if (!ParseReal(ComboBoxScale->currentText(), scale) || scale <= 0 || scale > MaxScale) {
    SetScaleText(T_.View.Scale());
    return refuse(ComboBoxScale,
                  QString::asprintf("倍率は、%.2f-%d 倍の間の実数で指定してください。", MinScale, int(MaxScale)));
  }
  return true;
}

// ---- Column editor ----
// Each row is a column of the file list in display order: its caption, its check mark (visible),
// its width (user data) and its identity (user data + 1). Identity 0, the file name, stays first
// and visible.

void TOptionDialog::FillColumns(const std::vector<TZmColumnEditorRow>& rows) {
  ColumnsChanging_ = true;
  ListViewCE->clear();
  for (const TZmColumnEditorRow& r : rows) {
    auto* item = new QTreeWidgetItem(ListViewCE, {ToQ(r.Caption)});
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, r.Checked ? Qt::Checked : Qt::Unchecked);
    item->setData(0, Qt::UserRole, r.Width);
    item->setData(0, Qt::UserRole + 1, r.Index);
  }
  ColumnsChanging_ = false;
  UpdateColumnCommands();
}

std::vector<TZmColumnEditorRow> TOptionDialog::ColumnRows() const {
  std::vector<TZmColumnEditorRow> rows;
  for (int i = 0; i < ListViewCE->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = ListViewCE->topLevelItem(i);
    rows.push_back({item->checkState(0) == Qt::Checked, item->text(0).toStdString(),
                    item->data(0, Qt::UserRole).toInt(), item->data(0, Qt::UserRole + 1).toInt()});
  }
  return rows;
}

void TOptionDialog::MoveColumn(int by) {
  QTreeWidgetItem* item = ListViewCE->currentItem();
  if (!item) return;
  const int from = ListViewCE->indexOfTopLevelItem(item), to = from + by;
  if (to < 0 || to >= ListViewCE->topLevelItemCount()) return;
  ColumnsChanging_ = true;
  ListViewCE->takeTopLevelItem(from);
  ListViewCE->insertTopLevelItem(to, item);
  ColumnsChanging_ = false;
  ListViewCE->setCurrentItem(item);
  item->setSelected(true);
  ListViewCE->scrollToItem(item);
  ListViewCE->setFocus();
  UpdateColumnCommands();
}

void TOptionDialog::ColumnsChanged(QTreeWidgetItem* item) {
  if (ColumnsChanging_ || !item) return;
  // The file name column cannot be hidden, by the mouse or the keyboard either.
  if (item->data(0, Qt::UserRole + 1).toInt() == 0 && item->checkState(0) != Qt::Checked)
    item->setCheckState(0, Qt::Checked);
  UpdateColumnCommands();
}

void TOptionDialog::UpdateColumnCommands() {
  QTreeWidgetItem* item = ListViewCE->currentItem();
  const int at = item ? ListViewCE->indexOfTopLevelItem(item) : -1;
  const bool anchor = item && item->data(0, Qt::UserRole + 1).toInt() == 0;
  const bool checked = item && item->checkState(0) == Qt::Checked;
  RowsUpAct->setEnabled(at > 1);
  RowsDownAct->setEnabled(item && !anchor && at < ListViewCE->topLevelItemCount() - 1);
  RowsHideAct->setEnabled(item && !anchor && checked);
  RowsShowAct->setEnabled(item && !checked);
}
