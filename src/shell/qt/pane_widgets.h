// The two widgets of each pane: the plain edit control, which reports Escape and the loss of
// the focus and leaves the accelerators to the window, and the read-only HTML view, which
// loads nothing but local files beside the open collection.
#pragma once

#include <QPlainTextEdit>
#include <QTextBrowser>
#include <filesystem>
#include <functional>
#include <string>

namespace kelvora::qt {

class PaneEdit final : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit PaneEdit(QWidget* parent);

  // The text as the command layer holds item texts: line breaks as CR LF.
  std::u16string itemText() const;
  // Shows that the text is being corrected during learning (a highlighted frame).
  void setCorrecting(bool on);

 signals:
  void escapePressed();
  // The focus went elsewhere in the program or to another program; opening a menu does not
  // count.
  void focusLost();
  // A double click on the read-only text: the user wants to correct it.
  void correctionRequested();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class PaneBrowser final : public QTextBrowser {
  Q_OBJECT

 public:
  // base gives the open collection's base path (empty when none is open); images and style
  // sheets are read from its folder or below it, or else from its media folder (BASE_media, where
  // an import puts another learner's media files), and from nowhere else.
  PaneBrowser(QWidget* parent, std::function<std::filesystem::path()> base);

  QVariant loadResource(int type, const QUrl& name) override;

 private:
  std::function<std::filesystem::path()> m_base;
};

}  // namespace kelvora::qt
