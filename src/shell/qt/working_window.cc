// The "Working" window: painted on a clock rather than on every call, with an input guard.
#include "shell/qt/working_window.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/qt/text_conversion.h"

namespace kelvora::qt {
namespace {

constexpr char16_t kWorkingTitle[] = u"Working";
constexpr char16_t kPleaseWait[] = u"Please wait...";
constexpr char16_t kMayTakeAWhile[] = u"(this may take a while)";
constexpr int kBarSteps = 1000;

bool isInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
      return true;
    default:
      return false;
  }
}

}  // namespace

WorkingWindow::WorkingWindow(QWidget* parent) : QDialog(parent) {
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setModal(false);
  setWindowTitle(toQString(kWorkingTitle));
  setAccessibleName(toQString(kWorkingTitle));
  auto* wait = new QLabel(toQString(kPleaseWait), this);
  wait->setAlignment(Qt::AlignCenter);
  m_line = new QLabel(toQString(kMayTakeAWhile), this);
  m_line->setAlignment(Qt::AlignCenter);
  m_line->setMinimumWidth(m_line->fontMetrics().averageCharWidth() * 28);
  m_bar = new QProgressBar(this);
  m_bar->setRange(0, kBarSteps);
  m_bar->setTextVisible(false);
  m_bar->setAccessibleName(QStringLiteral("Progress"));
  m_bar->hide();  // until the operation says how far it has come
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  m_cancel->setAutoDefault(false);
  m_cancel->setToolTip(QStringLiteral("Stop (Esc): everything stays as it was"));
  connect(m_cancel, &QPushButton::clicked, this, [this] { requestCancel(); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(wait);
  layout->addWidget(m_line);
  layout->addWidget(m_bar);
  layout->addWidget(m_cancel, 0, Qt::AlignCenter);
  // Clicks and keys meant for the main window would change what is being worked on: they go
  // nowhere until the work is done, and Escape stops it.
  QCoreApplication::instance()->installEventFilter(this);
  show();
  paintNow();
}

WorkingWindow::~WorkingWindow() { QCoreApplication::instance()->removeEventFilter(this); }

void WorkingWindow::setLine(const QString& text) {
  m_text = text;
  m_textChanged = true;
  paintIfDue();
}

void WorkingWindow::setCompletion(std::uint64_t done, std::uint64_t total) {
  if (total > 0) {
    const std::uint64_t shown = done < total ? done : total;
    m_permille = static_cast<int>(shown * kBarSteps / total);
  }
  paintIfDue();
}

void WorkingWindow::requestCancel() {
  m_cancelled = true;
  m_cancel->setEnabled(false);
}

void WorkingWindow::paintIfDue() {
  if (m_sincePaint.isValid() && m_sincePaint.elapsed() < kPaintPeriodMs) return;
  paintNow();
}

void WorkingWindow::paintNow() {
  if (m_textChanged) {
    m_line->setText(m_text);
    m_textChanged = false;
  }
  if (m_permille >= 0) {
    m_bar->show();
    m_bar->setValue(m_permille);
  }
  ++m_paints;
  repaint();
  // Cancel's click is looked at here. A second copy of the program handing over its file waits
  // until the work is done.
  QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
  m_sincePaint.start();
}

bool WorkingWindow::eventFilter(QObject* watched, QEvent* event) {
  if (!isInput(event->type())) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget != nullptr && (widget == this || isAncestorOf(widget))) return false;
  if (event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    requestCancel();
  }
  return true;
}

}  // namespace kelvora::qt
