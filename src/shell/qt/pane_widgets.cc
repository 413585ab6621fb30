// The pane widgets' key, focus and resource handling.
#include "shell/qt/pane_widgets.h"

#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTextDocument>
#include <QUrl>

#include "shell/qt/accelerators.h"
#include "shell/qt/text_conversion.h"

namespace kelvora::qt {
namespace {

// The largest image or style sheet a pane reads, in bytes.
constexpr qint64 kMaxResourceBytes = qint64{16} * 1024 * 1024;

}  // namespace

PaneEdit::PaneEdit(QWidget* parent) : QPlainTextEdit(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Tab moves on to the next control, as in every dialog; a tab character is not a card's.
  setTabChangesFocus(true);
}

std::u16string PaneEdit::itemText() const {
  // The raw text keeps no-break spaces; blocks and soft line breaks both become CR LF.
  QString text = document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
  text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
  return toU16(text);
}

bool PaneEdit::event(QEvent* event) {
  // Refusing the override lets the window's shortcut have Ctrl+A, Ctrl+X and the others.
  if (event->type() == QEvent::ShortcutOverride &&
      acceleratorCommand(*static_cast<QKeyEvent*>(event))) {
    event->ignore();
    return true;
  }
  return QPlainTextEdit::event(event);
}

void PaneEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    emit escapePressed();
    event->accept();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void PaneEdit::mouseDoubleClickEvent(QMouseEvent* event) {
  if (isReadOnly()) {
    emit correctionRequested();
    event->accept();
    return;
  }
  QPlainTextEdit::mouseDoubleClickEvent(event);
}

void PaneEdit::setCorrecting(bool on) {
  if (property("correcting").toBool() == on) return;
  setProperty("correcting", on);
  // A frame in the highlight colour: the text is being changed, not only shown.
  setStyleSheet(on ? QStringLiteral("QPlainTextEdit { border: 2px solid palette(highlight); }")
                   : QString());
}

void PaneEdit::focusOutEvent(QFocusEvent* event) {
  QPlainTextEdit::focusOutEvent(event);
  if (event->reason() != Qt::PopupFocusReason) emit focusLost();
}

PaneBrowser::PaneBrowser(QWidget* parent, std::function<std::filesystem::path()> base)
    : QTextBrowser(parent), m_base(std::move(base)) {
  setOpenLinks(false);
  setOpenExternalLinks(false);
}

QVariant PaneBrowser::loadResource(int type, const QUrl& name) {
  if (type != QTextDocument::ImageResource && type != QTextDocument::StyleSheetResource) {
    return {};
  }
  const std::filesystem::path base = m_base ? m_base() : std::filesystem::path();
  if (base.empty()) return {};
  QString local;
  if (name.scheme().isEmpty()) {
    local = name.path();
  } else if (name.isLocalFile()) {
    local = name.toLocalFile();
  } else {
    return {};  // never the network
  }
  if (local.isEmpty()) return {};
  QString target;
  std::filesystem::path media = base;
  media += "_media";
  for (const std::filesystem::path& folder : {base.parent_path(), media}) {
    const QDir root(pathToQString(folder.empty() ? std::filesystem::path(".") : folder));
    const QString rootPath = root.canonicalPath();
    const QFileInfo info(root, local);
    const QString found = info.canonicalFilePath();
    if (!rootPath.isEmpty() && !found.isEmpty() && info.isFile() &&
        found.startsWith(rootPath + QLatin1Char('/')) && info.size() <= kMaxResourceBytes) {
      target = found;
      break;
    }
  }
  if (target.isEmpty()) return {};
  QFile file(target);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  if (type == QTextDocument::StyleSheetResource) return QString::fromUtf8(bytes);
  return bytes;
}

}  // namespace kelvora::qt
