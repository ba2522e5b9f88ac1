#include "dialogs/FileCommands.h"

#include <sys/stat.h>

#include <QCheckBox>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "catalogue/ZmUtils.h"
#include "platform/Shell.h"

namespace {

// Names and paths of any encoding, for the user's eyes.
QString Shown(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

QString NameOf(const std::string& path) { return Shown(path.substr(path.rfind('/') + 1)); }

QString SizeText(uint64_t bytes) { return QString::fromStdString(SizeToText(int64_t(bytes))); }

// "1.2 MB, 2026/12/08 13:05:00" for a file, empty when it cannot be read.
QString FactsOf(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return {};
  return SizeText(uint64_t(st.st_size)) + QStringLiteral(", ") +
         QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QMessageBox* NewQuestion(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
  auto* box = new QMessageBox(icon, title, text, QMessageBox::NoButton, parent);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  return box;
}

}  // namespace

// The engine's run on a worker. Progress is read by the user-interface thread when it wants it;
// a conflict waits here until the user has answered or cancelled.
class TFileJob : public TThread {
 public:
  using TWork = std::function<TFileOperationResult(const TFileOperationCallbacks&)>;
  explicit TFileJob(TWork work) : Work_(std::move(work)) {}
  ~TFileJob() override {
    Cancel();
    WaitFor();
  }

  // Runs on the user-interface thread and opens the question; the answer comes through Answer.
  std::function<void(const std::string& source, const std::string& target)> OnConflict;
  TFileOperationResult Result;

  TFileProgress Progress() const {
    std::lock_guard lock(Mutex_);
    return Progress_;
  }
  void Answer(TConflictChoice choice) {
    std::lock_guard lock(Mutex_);
    Answer_ = choice;
    Changed_.notify_all();
  }
  void Cancel() {
    std::lock_guard lock(Mutex_);
    Cancel_ = true;
    Changed_.notify_all();
  }
  bool CancelRequested() const { return Cancel_.load(); }

 protected:
  void Execute() override {
    TFileOperationCallbacks callbacks;
    callbacks.Cancel = &Cancel_;
    callbacks.Progress = [this](const TFileProgress& p) {
      std::lock_guard lock(Mutex_);
      Progress_ = p;
    };
    callbacks.Conflict = [this](const std::string& source, const std::string& target) {
      {
        std::lock_guard lock(Mutex_);
        Answer_.reset();
      }
      Synchronize([&] { OnConflict(source, target); });
      std::unique_lock lock(Mutex_);
      Changed_.wait(lock, [this] { return Answer_ || Cancel_; });
      return Answer_.value_or(TConflictChoice{});
    };
    Result = Work_(callbacks);
  }

 private:
  TWork Work_;
  mutable std::mutex Mutex_;
  std::condition_variable Changed_;
  std::atomic<bool> Cancel_{false};
  TFileProgress Progress_;
  std::optional<TConflictChoice> Answer_;
};

// The progress window: hidden for the first half second, so quick operations show nothing. Time
// spent waiting for an answer counts neither for that half second nor for the rate.
class TFileProgressDialog : public QDialog {
 public:
  TFileProgressDialog(QWidget* parent, const QString& doing, std::function<TFileProgress()> poll)
      : QDialog(parent), Poll_(std::move(poll)) {
    setObjectName(QStringLiteral("FileProgressDialog"));
    setWindowTitle(doing);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    for (QLabel** label : {&File_, &Count_, &Bytes_}) {
      *label = new QLabel(this);
      (*label)->setTextFormat(Qt::PlainText);
      layout->addWidget(*label);
    }
    File_->setMinimumWidth(420);
    Bar_ = new QProgressBar(this);
    Bar_->setRange(0, 1000);
    layout->addWidget(Bar_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    Clock_.start();
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { Tick(); });
    timer->start(100);
  }

  void SetWaiting(bool waiting) {
    if (waiting) Waiting_.start();
    else if (Waiting_.isValid()) WaitedMs_ += Waiting_.elapsed(), Waiting_.invalidate();
  }

 private:
  void Tick() {
    const qint64 workedMs = Clock_.elapsed() - WaitedMs_;
    if (!isVisible()) {
      if (Waiting_.isValid() || workedMs < 500) return;
      show();
    }
    const TFileProgress p = Poll_();
    File_->setText(NameOf(p.Source));
    Count_->setText(QStringLiteral("%1 / %2 ファイル").arg(std::min(p.FileIndex + 1, p.FileCount)).arg(p.FileCount));
    QString bytes;
    if (p.BytesTotal > 0) {
      bytes = SizeText(p.BytesDone) + QStringLiteral(" / ") + SizeText(p.BytesTotal);
      if (const double rate = double(p.BytesDone) * 1000 / double(std::max<qint64>(workedMs, 1)); p.BytesDone > 0) {
        bytes += QStringLiteral("  (") + SizeText(uint64_t(rate)) + QStringLiteral("/秒");
        if (p.BytesDone < p.BytesTotal)
          bytes += QStringLiteral("、残り約 %1 秒").arg(qint64(double(p.BytesTotal - p.BytesDone) / rate) + 1);
        bytes += QStringLiteral(")");
      }
      Bar_->setValue(int(1000 * double(p.BytesDone) / double(p.BytesTotal)));
    } else if (p.FileCount > 0) {
      Bar_->setValue(int(1000 * p.FileIndex / p.FileCount));
    }
    Bytes_->setText(bytes);
    Bytes_->setVisible(!bytes.isEmpty());
  }

  std::function<TFileProgress()> Poll_;
  QElapsedTimer Clock_, Waiting_;
  qint64 WaitedMs_ = 0;
  QLabel *File_ = nullptr, *Count_ = nullptr, *Bytes_ = nullptr;
  QProgressBar* Bar_ = nullptr;
};

TFileCommands::TFileCommands(QWidget* window, std::string& sendPath) : Window_(window), SendPath_(sendPath) {}

TFileCommands::~TFileCommands() { Abort(); }

void TFileCommands::SetBusy(bool busy) {
  if (Busy_ == busy) return;
  Busy_ = busy;
  emit BusyChanged(busy);
}

QWidget* TFileCommands::DialogParent() const { return Parent_ && Parent_->isVisible() ? Parent_.data() : Window_; }

void TFileCommands::TransferTo(TFileTransfer kind, std::vector<std::string> sources, QWidget* parent) {
  if (Busy_ || sources.empty()) return;
  Parent_ = parent;
  const bool copy = kind == TFileTransfer::Copy;
  // The chooser keeps the chosen folder even when the operation then fails.
  if (!SelectFolder(DialogParent(), copy ? QStringLiteral("コピー先フォルダを選択") : QStringLiteral("移動先フォルダを選択"),
                    SendPath_))
    return;
  Run(copy ? TJob::Copy : TJob::Move, std::move(sources), SendPath_);
}

void TFileCommands::Delete(std::vector<std::string> paths, bool permanent, QWidget* parent) {
  if (Busy_ || paths.empty()) return;
  Parent_ = parent;
  const QString what = paths.size() == 1 ? QStringLiteral("「%1」").arg(NameOf(paths.front()))
                                         : QStringLiteral("これらの %1 個のファイル").arg(paths.size());
  QMessageBox* box =
      permanent ? NewQuestion(DialogParent(), QMessageBox::Warning, QStringLiteral("ファイルの完全な削除"),
                              what + QStringLiteral("を完全に削除しますか?\n削除したファイルは元に戻せません。"))
                : NewQuestion(DialogParent(), QMessageBox::Question, QStringLiteral("ファイルの削除"),
                              what + QStringLiteral("をごみ箱に移動しますか?"));
  box->setObjectName(QStringLiteral("DeleteConfirmation"));
  box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box->setDefaultButton(permanent ? QMessageBox::No : QMessageBox::Yes);
  Question_ = box;
  SetBusy(true);
  connect(box, &QMessageBox::finished, this, [this, box, paths = std::move(paths), permanent]() mutable {
    if (box->standardButton(box->clickedButton()) != QMessageBox::Yes) return SetBusy(false);
    Run(permanent ? TJob::Delete : TJob::Trash, std::move(paths));
  });
  box->open();
}

void TFileCommands::Run(TJob job, std::vector<std::string> paths, std::string folder) {
  SetBusy(true);
  TFileJob::TWork work;
  switch (job) {
    case TJob::Copy:
    case TJob::Move:
      work = [kind = job == TJob::Copy ? TFileTransfer::Copy : TFileTransfer::Move, paths = std::move(paths),
              folder = std::move(folder)](const TFileOperationCallbacks& c) { return TransferFiles(kind, paths, folder, c); };
      break;
    case TJob::Trash: work = [paths = std::move(paths)](const TFileOperationCallbacks& c) { return TrashFiles(paths, c); }; break;
    case TJob::Delete: work = [paths = std::move(paths)](const TFileOperationCallbacks& c) { return DeleteFiles(paths, c); }; break;
  }
  auto worker = std::make_unique<TFileJob>(std::move(work));
  TFileJob* running = worker.get();
  running->OnConflict = [this](const std::string& source, const std::string& target) {
    Slot_.Raise([&] { AskConflict(source, target); });
  };
  static const char* const doing[] = {"コピーしています", "移動しています", "ごみ箱に移動しています", "削除しています"};
  Progress_ = new TFileProgressDialog(DialogParent(), QString::fromUtf8(doing[int(job)]), [running] { return running->Progress(); });
  connect(Progress_, &QDialog::rejected, this, [running, this] {
    if (Job_ == running) running->Cancel();
  });
  Job_ = running;
  Slot_.Start(std::move(worker), [this, job](TThread& t) {
    Job_ = nullptr;
    delete Progress_.data();
    delete Question_.data();
    // The report opens outside the worker's end event, unless the command was aborted meanwhile.
    auto& ended = static_cast<TFileJob&>(t);
    QTimer::singleShot(0, this, [this, job, result = std::move(ended.Result), generation = Generation_]() mutable {
      if (generation == Generation_) Finish(job, std::move(result));
    });
  });
}

void TFileCommands::AskConflict(const std::string& source, const std::string& target) {
  TFileJob* job = Job_;
  if (!job || job->CancelRequested()) return;
  const QString facts = QStringLiteral("\n\n置き換えられるファイル: %1\n新しいファイル: %2").arg(FactsOf(target), FactsOf(source));
  QMessageBox* box = NewQuestion(Progress_ && Progress_->isVisible() ? static_cast<QWidget*>(Progress_) : DialogParent(),
                                 QMessageBox::Question, QStringLiteral("ファイル名の重複"),
                                 QStringLiteral("「%1」と同じ名前のファイルがあります。").arg(NameOf(target)) + facts);
  box->setObjectName(QStringLiteral("ConflictQuestion"));
  box->setTextFormat(Qt::PlainText);
  QPushButton* overwrite = box->addButton(QStringLiteral("上書き(&O)"), QMessageBox::AcceptRole);
  QPushButton* skip = box->addButton(QStringLiteral("スキップ(&S)"), QMessageBox::RejectRole);
  QPushButton* keepBoth = box->addButton(QStringLiteral("両方残す(&K)"), QMessageBox::AcceptRole);
  QPushButton* cancel = box->addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
  for (QPushButton* b : {overwrite, skip, keepBoth, cancel}) b->setObjectName(b->text().section('(', 0, 0));
  box->setDefaultButton(skip);
  box->setEscapeButton(cancel);
  box->setCheckBox(new QCheckBox(QStringLiteral("以降すべてに適用(&A)"), box));
  Question_ = box;
  if (Progress_) Progress_->SetWaiting(true);
  connect(box, &QMessageBox::finished, this, [=, this] {
    if (Job_ != job) return;
    if (Progress_) Progress_->SetWaiting(false);
    QAbstractButton* clicked = box->clickedButton();
    if (!clicked || clicked == cancel) return job->Cancel();
    const TConflictAnswer answer = clicked == overwrite ? TConflictAnswer::Overwrite
                                   : clicked == keepBoth ? TConflictAnswer::KeepBoth
                                                         : TConflictAnswer::Skip;
    job->Answer({answer, box->checkBox()->isChecked()});
  });
  box->open();
}

void TFileCommands::Finish(TJob job, TFileOperationResult result) {
  std::vector<TFileIssue> noTrash;
  for (TFileIssue& issue : result.Issues) {
    // The user's own answers (skip, cancel) need no report.
    if (issue.Kind == TFileIssueKind::Declined || issue.Kind == TFileIssueKind::Cancelled) continue;
    (issue.Kind == TFileIssueKind::NoTrash ? noTrash : Issues_).push_back(std::move(issue));
  }
  if (!noTrash.empty() && !result.Cancelled) return OfferPermanentDeletion(std::move(noTrash));
  Issues_.insert(Issues_.end(), noTrash.begin(), noTrash.end());
  ShowReport(job);
}

void TFileCommands::OfferPermanentDeletion(std::vector<TFileIssue> noTrash) {
  QMessageBox* box = NewQuestion(
      DialogParent(), QMessageBox::Warning, QStringLiteral("ファイルの削除"),
      (noTrash.size() == 1 ? QStringLiteral("「%1」").arg(NameOf(noTrash.front().Path))
                           : QStringLiteral("%1 個のファイル").arg(noTrash.size())) +
          QStringLiteral("はごみ箱に移動できません。完全に削除しますか?\n削除したファイルは元に戻せません。"));
  box->setObjectName(QStringLiteral("PermanentDeletionOffer"));
  QString details;
  for (const TFileIssue& issue : noTrash) details += Shown(issue.Path) + QStringLiteral(": ") + QString::fromStdString(issue.Reason) + '\n';
  box->setDetailedText(details);
  box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box->setDefaultButton(QMessageBox::No);
  Question_ = box;
  connect(box, &QMessageBox::finished, this, [this, box, noTrash = std::move(noTrash)]() mutable {
    if (box->standardButton(box->clickedButton()) != QMessageBox::Yes) {
      Issues_.insert(Issues_.end(), noTrash.begin(), noTrash.end());
      return ShowReport(TJob::Trash);
    }
    std::vector<std::string> paths;
    for (const TFileIssue& issue : noTrash) paths.push_back(issue.Path);
    Run(TJob::Delete, std::move(paths));
  });
  box->open();
}

void TFileCommands::ShowReport(TJob job) {
  std::vector<TFileIssue> issues = std::move(Issues_);
  Issues_.clear();
  SetBusy(false);
  if (issues.empty()) return;
  static const char* const verbs[] = {"コピー", "移動", "削除", "削除"};
  const QString verb = QString::fromUtf8(verbs[int(job)]);
  auto* dialog = new QDialog(DialogParent());
  dialog->setObjectName(QStringLiteral("FileReport"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(verb + QStringLiteral("できなかったファイル"));
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(new QLabel(QStringLiteral("%1 個のファイルを%2できませんでした。").arg(issues.size()).arg(verb), dialog));
  auto* list = new QTreeWidget(dialog);
  list->setHeaderLabels({QStringLiteral("ファイル"), QStringLiteral("理由")});
  list->setRootIsDecorated(false);
  for (const TFileIssue& issue : issues)
    new QTreeWidgetItem(list, {Shown(issue.Path), QString::fromStdString(issue.Reason)});
  list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  list->header()->setStretchLastSection(false);
  list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
  connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  layout->addWidget(buttons);
  dialog->resize(640, 320);
  dialog->show();
}

void TFileCommands::Abort() {
  ++Generation_;
  if (Question_) {
    Question_->disconnect(this);
    delete Question_.data();
  }
  if (Job_) Job_->Cancel();
  Slot_.Stop();
  Issues_.clear();
  delete Progress_.data();
  SetBusy(false);
}
