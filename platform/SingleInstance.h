// TSingleInstance: one Kirvane per user. The first instance holds a lock file and listens on a
// local socket; a second instance connects, hands over its first argument and exits.
//
// Message: kind (32-bit little-endian), byte count (32-bit little-endian), then the bytes. Kind 0
// asks the first instance to come to the front; kind 1 carries a path (its bytes, then one zero
// byte) to open. The first instance answers one byte when it has run the request, so a second
// instance returns only after the path has been opened. A lock or socket left by a crashed
// instance never blocks a start. With KIRVANE_CONFIG_DIR set, the names carry a hash of that
// folder, so test instances never meet a user's instance.
#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLocalSocket;

class TSingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit TSingleInstance(QObject* parent = nullptr);
  ~TSingleInstance() override;

  // Tries to become the first instance: takes the lock and starts listening. False when
  // another instance runs.
  bool Acquire();
  // As a second instance: asks the running one to come to the front and, when `path` is given,
  // to open it; waits until it has. False when no running instance answered in time.
  bool HandOver(const QByteArray* path, int timeoutMs = 10000);

  QString ServerName() const { return ServerName_; }

 signals:
  // Emitted on the user-interface thread. The handler runs the request before the answer is sent.
  void ActivateRequested();
  void OpenRequested(const QByteArray& path);

 private:
  void OnNewConnection();
  void OnReadyRead(QLocalSocket* socket);

  QString ServerName_;
  std::unique_ptr<QLockFile> Lock_;
  QLocalServer* Server_ = nullptr;
};

// The names the lock and the server use (also for tests).
QString SingleInstanceName();
