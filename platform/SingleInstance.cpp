#include "platform/SingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace {
// Messages larger than this are not ours (a path is at most a few kilobytes).
constexpr quint32 MaxMessageBytes = 1 << 20;
constexpr quint32 KindActivate = 0;
constexpr quint32 KindOpenPath = 1;

QByteArray Message(quint32 kind, const QByteArray& payload) {
  QByteArray m;
  auto put32 = [&](quint32 v) {
    for (int i = 0; i < 4; ++i) m.append(char((v >> (8 * i)) & 0xFF));
  };
  put32(kind);
  put32(quint32(payload.size()));
  m.append(payload);
  return m;
}

quint32 Get32(const QByteArray& b, int at) {
  quint32 v = 0;
  for (int i = 0; i < 4; ++i) v |= quint32(quint8(b[at + i])) << (8 * i);
  return v;
}
}  // namespace

QString SingleInstanceName() {
  QString name = QStringLiteral("hZelmarKirvane-%1").arg(getuid());
  const QByteArray config = qgetenv("KIRVANE_CONFIG_DIR");
  if (!config.isEmpty())
    name += "-" + QCryptographicHash::hash(config, QCryptographicHash::Sha1).toHex().left(12);
  return name;
}

TSingleInstance::TSingleInstance(QObject* parent) : QObject(parent), ServerName_(SingleInstanceName()) {}

TSingleInstance::~TSingleInstance() {
  if (Server_) Server_->close();
}

bool TSingleInstance::Acquire() {
  Lock_ = std::make_unique<QLockFile>(QDir::temp().filePath(ServerName_ + ".lock"));
  // tryLock removes a lock whose process is gone.
  Lock_->setStaleLockTime(0);
  if (!Lock_->tryLock(100)) {
    Lock_.reset();
    return false;
  }
  // Holding the lock, any socket of the same name is left over from a crash.
  QLocalServer::removeServer(ServerName_);
  Server_ = new QLocalServer(this);
  Server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(Server_, &QLocalServer::newConnection, this, &TSingleInstance::OnNewConnection);
  Server_->listen(ServerName_);
  return true;
}

void TSingleInstance::OnNewConnection() {
  while (QLocalSocket* socket = Server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
    if (socket->bytesAvailable()) OnReadyRead(socket);
  }
}

void TSingleInstance::OnReadyRead(QLocalSocket* socket) {
  QByteArray buffer = socket->property("kvBuffer").toByteArray() + socket->readAll();
  for (;;) {
    if (buffer.size() < 8) break;
    const quint32 kind = Get32(buffer, 0);
    const quint32 size = Get32(buffer, 4);
    if (size > MaxMessageBytes) {
      socket->abort();
      return;
    }
    if (quint32(buffer.size()) < 8 + size) break;
    const QByteArray payload = buffer.mid(8, int(size));
    buffer.remove(0, int(8 + size));
    if (kind == KindActivate) {
      emit ActivateRequested();
    } else if (kind == KindOpenPath) {
      // The path runs up to its first zero byte, within the announced size.
      const int zero = payload.indexOf('\0');
      emit OpenRequested(zero < 0 ? payload : payload.left(zero));
    }
    socket->write("A", 1);
    socket->flush();
  }
  socket->setProperty("kvBuffer", buffer);
}

bool TSingleInstance::HandOver(const QByteArray* path, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  QLocalSocket socket;
  // The first instance may still be starting: try for a moment.
  for (;;) {
    socket.connectToServer(ServerName_);
    if (socket.waitForConnected(500)) break;
    if (timer.elapsed() > 2000) return false;
    QThread::msleep(100);
  }
  QByteArray out = Message(KindActivate, {});
  int answers = 1;
  if (path) {
    out += Message(KindOpenPath, *path + QByteArray(1, '\0'));
    ++answers;
  }
  socket.write(out);
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  QByteArray in;
  while (in.size() < answers) {
    const int left = timeoutMs - int(timer.elapsed());
    if (left <= 0 || !socket.waitForReadyRead(left)) return false;
    in += socket.readAll();
  }
  socket.disconnectFromServer();
  return true;
}
