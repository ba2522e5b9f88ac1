// TFileCommands: copying, moving and deleting files from the windows. The file-operation engine
// runs on a worker; the user sees a progress window once the work lasts more than half a second,
// answers a question for each existing target, confirms every deletion, and gets a report of
// the files that were not done, each with its reason.
//
// One operation runs at a time; while one runs (or waits for the user) Busy() is true and the
// windows disable their copy, move and delete commands. No dialog here blocks a window: each is
// opened and answers through its signals, so the windows keep painting and stay responsive.
// User-interface thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileOperation.h"
#include "platform/WorkerSlot.h"

class QWidget;
class TFileJob;
class TFileProgressDialog;

class TFileCommands : public QObject {
  Q_OBJECT
 public:
  // `window`: the main window, owner of dialogs whose own window has gone. `sendPath`: the last
  // target folder of a copy or move (kept in the settings), where the folder chooser starts.
  TFileCommands(QWidget* window, std::string& sendPath);
  // Cancels a running operation and waits for it.
  ~TFileCommands() override;

  bool Busy() const { return Busy_; }
  // A file operation itself runs (not only a question before it).
  bool Running() const { return Job_ != nullptr; }

  // Asks for the target folder ("コピー先フォルダを選択" or "移動先フォルダを選択"), starting
  // at the send path, which takes the chosen folder; then copies or moves the files into it.
  void TransferTo(TFileTransfer kind, std::vector<std::string> sources, QWidget* parent);
  // After a confirmation, moves the files to the trash, or deletes them for good when
  // `permanent`. Files whose file system has no trash are offered permanent deletion.
  void Delete(std::vector<std::string> paths, bool permanent, QWidget* parent);
  // Cancels the running operation and waits for its end; open questions are closed.
  void Abort();

 signals:
  // Busy() changed.
  void BusyChanged(bool busy);

 private:
  enum class TJob { Copy, Move, Trash, Delete };
  void SetBusy(bool busy);
  QWidget* DialogParent() const;
  void Run(TJob job, std::vector<std::string> paths, std::string folder = {});
  void AskConflict(const std::string& source, const std::string& target);
  void JobEnded(TFileJob& job);
  void Finish(TJob job, TFileOperationResult result);
  void OfferPermanentDeletion(std::vector<TFileIssue> noTrash);
  void ShowReport(TJob job);

  QWidget* Window_;
  std::string& SendPath_;
  QPointer<QWidget> Parent_;  // the window the current command came from
  bool Busy_ = false;
  TWorkerSlot Slot_;
  TFileJob* Job_ = nullptr;  // the running job, owned by the slot
  QPointer<TFileProgressDialog> Progress_;
  QPointer<QWidget> Question_;  // the open conflict question
  std::vector<TFileIssue> Issues_;  // to report once the command (and its follow-ups) has ended
  unsigned Generation_ = 0;          // counts aborts: a report queued before one is dropped
};
