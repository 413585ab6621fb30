// The local socket of the single-instance rule. A request is the file's path in UTF-8 followed
// by a line feed.
#include "shell/qt/single_instance.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

namespace kelvora::qt {
namespace {

constexpr int kWaitMs = 2000;
// A request longer than any path is not ours.
constexpr qint64 kMaxRequestBytes = qint64{64} * 1024;

QString sanitized(QString text) {
  for (QChar& c : text) {
    const bool keep = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                      (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                      (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.') ||
                      c == QLatin1Char('_') || c == QLatin1Char('-');
    if (!keep) c = QLatin1Char('_');
  }
  return text;
}

QString userName() {
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_name != nullptr) {
    return QString::fromLocal8Bit(pw->pw_name);
  }
  return QString::number(getuid());
}

}  // namespace

QString instanceSocketName() {
  QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
  if (display.isEmpty()) display = qEnvironmentVariable("DISPLAY");
  QString name = sanitized(QStringLiteral("kelvora-") + userName() + QLatin1Char('-') +
                           (display.isEmpty() ? QStringLiteral("none") : display));
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (runtime.startsWith(QLatin1Char('/')) && QDir(runtime).exists()) {
    return QDir(runtime).filePath(name);
  }
  return name;
}

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), m_name(std::move(name)) {}

bool SingleInstance::handOver(const QString& file) const {
  QLocalSocket socket;
  socket.connectToServer(m_name);
  if (!socket.waitForConnected(kWaitMs)) return false;
  socket.write(file.toUtf8() + '\n');
  socket.waitForBytesWritten(kWaitMs);
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kWaitMs);
  return true;
}

bool SingleInstance::listen() {
  m_server = new QLocalServer(this);
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!m_server->listen(m_name)) {
    // Nobody answered, so the socket is left over from a copy that ended without removing it.
    QLocalServer::removeServer(m_name);
    if (!m_server->listen(m_name)) return false;
  }
  connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::readRequest);
  return true;
}

void SingleInstance::readRequest() {
  while (QLocalSocket* socket = m_server->nextPendingConnection()) {
    QPointer<QLocalSocket> guarded(socket);
    auto finish = [this, guarded] {
      if (!guarded || guarded->property("done").toBool()) return;
      QByteArray request = guarded->property("pending").toByteArray() + guarded->readAll();
      const qsizetype stop = request.indexOf('\n');
      const bool tooLong = request.size() > kMaxRequestBytes;
      if (stop < 0 && !tooLong && guarded->state() == QLocalSocket::ConnectedState) {
        guarded->setProperty("pending", request);
        return;
      }
      guarded->setProperty("done", true);
      guarded->deleteLater();
      // An over-long request only brings the window forward.
      if (tooLong) request.clear();
      if (stop >= 0) request.truncate(stop);
      emit requested(QString::fromUtf8(request));
    };
    connect(socket, &QLocalSocket::readyRead, this, finish);
    connect(socket, &QLocalSocket::disconnected, this, finish);
    if (socket->bytesAvailable() > 0) finish();
  }
}

}  // namespace kelvora::qt
