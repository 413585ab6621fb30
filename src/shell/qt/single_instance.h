// One copy of the program per user and display. The first copy listens on a local socket
// named for both; a later start connects, hands over the file it was given (or nothing) and
// ends, and the first copy comes to the front and opens that file.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace kelvora::qt {

// "kelvora-USER-DISPLAY" with anything but letters, digits, '.', '_' and '-' made '_', as a
// path in XDG_RUNTIME_DIR when that is set.
QString instanceSocketName();

class SingleInstance final : public QObject {
  Q_OBJECT

 public:
  explicit SingleInstance(QString name, QObject* parent = nullptr);

  // Hands file (absolute, or empty) to a running copy; false when none answers.
  bool handOver(const QString& file) const;
  // Starts answering later starts; false when the socket cannot be made.
  bool listen();

 signals:
  // A later start asked for the window; file is empty when it was given none.
  void requested(const QString& file);

 private:
  void readRequest();

  QString m_name;
  QLocalServer* m_server = nullptr;
};

}  // namespace kelvora::qt
