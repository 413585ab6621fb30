// The "Working" window of long operations: the two lines, a bar of how far the work has come
// and Cancel. The operation runs without returning to the event loop, calling in for every
// item; the window paints and takes the user's input only a few times a second, and while it
// is shown no input reaches any other window.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kelvora::qt {

class WorkingWindow : public QDialog {
  // Without its own meta-object a search for this window among the main window's children
  // would take any dialog for it.
  Q_OBJECT

 public:
  // Shown from construction until destroyed.
  explicit WorkingWindow(QWidget* parent);
  ~WorkingWindow() override;
  WorkingWindow(const WorkingWindow&) = delete;
  WorkingWindow& operator=(const WorkingWindow&) = delete;

  // The progress line and the bar take the newest values; they are painted, and Cancel and
  // Escape are looked at, when kPaintPeriodMs have passed since the last time.
  void setLine(const QString& text);
  void setCompletion(std::uint64_t done, std::uint64_t total);
  // Cancel was pressed, Escape typed, or the program is told to end.
  bool cancelRequested() const { return m_cancelled; }
  void requestCancel();

  static constexpr int kPaintPeriodMs = 50;  // at most 20 paints a second
  int paintCount() const { return m_paints; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void reject() override { requestCancel(); }

 private:
  void paintIfDue();
  void paintNow();

  QLabel* m_line = nullptr;
  QProgressBar* m_bar = nullptr;
  QPushButton* m_cancel = nullptr;
  QString m_text;
  bool m_textChanged = false;
  int m_permille = -1;  // the bar's value; -1 before any completion is known
  bool m_cancelled = false;
  int m_paints = 0;
  QElapsedTimer m_sincePaint;
};

}  // namespace kelvora::qt
