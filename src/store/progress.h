// The "Working" window that long operations show, with its progress line, how far the work has
// come and a way to stop it. The window itself is a port the desktop program implements;
// Progress keeps track of whether one is open, so that an operation started inside another uses
// the window already there.
#pragma once

#include <cstdint>
#include <string_view>

namespace kelvora::store {

class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  // Shows the window with its two lines "Please wait..." and "(this may take a while)";
  // false when it could not be created.
  virtual bool show() = 0;
  virtual void hide() = 0;
  // Replaces the lower line. The window may leave it unpainted for a moment: it is called for
  // every item, and painting each would cost more than the work.
  virtual void setLine(std::u16string_view text) = 0;
  // How far the work has come: done of total (bytes of a file read, items of a collection).
  virtual void setCompletion(std::uint64_t /*done*/, std::uint64_t /*total*/) {}
  // The user asked to stop the work (Cancel, Escape). Asked between items.
  virtual bool cancelRequested() { return false; }
};

class Progress {
 public:
  // Without a window every operation runs as if the window could not be created.
  void setWindow(ProgressWindow* window) { m_window = window; }

  void openProgress() {
    m_open = false;
    m_cancelled = false;
    if (m_window) m_open = m_window->show();
  }
  void closeProgress() {
    if (m_open && m_window) m_window->hide();
    m_open = false;
  }
  void setProgressText(std::u16string_view text) {
    if (m_open && m_window) m_window->setLine(text);
  }
  void setCompletion(std::uint64_t done, std::uint64_t total) {
    if (m_open && m_window) m_window->setCompletion(done, total);
  }
  bool isOpen() const { return m_open; }

  // Whether the work should stop now; once true it stays true until the window opens again,
  // so that the operation's caller can tell a stop from a failure (wasCancelled).
  bool cancelled() {
    if (!m_cancelled && m_open && m_window) m_cancelled = m_window->cancelRequested();
    return m_cancelled;
  }
  bool wasCancelled() const { return m_cancelled; }
  // Says how far the work has come and whether it should stop now: the one call of a long
  // operation's loop, made before each item.
  [[nodiscard]] bool stopAt(std::uint64_t done, std::uint64_t total) {
    setCompletion(done, total);
    return cancelled();
  }

 private:
  ProgressWindow* m_window = nullptr;
  bool m_open = false;
  bool m_cancelled = false;
};

// Opens the window for the length of a scope unless one is open already.
class ProgressScope {
 public:
  explicit ProgressScope(Progress& progress) : m_progress(progress), m_owns(!progress.isOpen()) {
    if (m_owns) m_progress.openProgress();
  }
  ~ProgressScope() {
    if (m_owns) m_progress.closeProgress();
  }
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;

 private:
  Progress& m_progress;
  bool m_owns;
};

}  // namespace kelvora::store
