// SIGTERM, SIGINT and SIGHUP (the desktop session ending, Ctrl+C, the terminal closing) reach
// the event loop as a Qt signal, so that the program ends through its exit sequence.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace kelvora::qt {

class TerminationSignals final : public QObject {
  Q_OBJECT

 public:
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;

  // Installs the handlers; false when the pipe or a handler cannot be set up.
  bool install();

 signals:
  void received();

 private:
  QSocketNotifier* m_notifier = nullptr;
};

}  // namespace kelvora::qt
