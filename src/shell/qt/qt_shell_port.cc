// The Qt implementations of the platform operations.
#include "shell/qt/qt_shell_port.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>

#include "shell/qt/dialogs.h"
#include "shell/qt/main_window.h"
#include "shell/qt/text_conversion.h"
#include "shell/qt/working_window.h"

namespace kelvora::qt {
namespace {

const QString kCaption = QStringLiteral("Kelvora CE");

}  // namespace

QStringList nameFilters(const shell::FileDialog& dialog) {
  QStringList filters;
  for (const auto& [description, pattern] : dialog.filters) {
    QString desc = toQString(description);
    QString pat = toQString(pattern);
    if (pat == QStringLiteral("*.*")) {
      pat = QStringLiteral("*");
      desc.replace(QStringLiteral("(*.*)"), QStringLiteral("(*)"));
    }
    // Descriptions that already end with their pattern in brackets are filters as they stand.
    if (!desc.endsWith(QLatin1Char(')'))) desc += QStringLiteral(" (") + pat + QLatin1Char(')');
    filters << desc;
  }
  return filters;
}

QtShellPort::QtShellPort(MainWindow& window, const std::filesystem::path& startFolder)
    : m_window(window), m_folder(pathToQString(startFolder)) {}

QtShellPort::~QtShellPort() { delete m_working.data(); }

void QtShellPort::showMessage(std::u16string_view text, store::MessageKind kind) {
  m_window.showCurrentState();
  QMessageBox box(
      kind == store::MessageKind::Error ? QMessageBox::Critical : QMessageBox::Information,
      kCaption, toDisplayText(text), QMessageBox::Ok, &m_window);
  box.exec();
}

bool QtShellPort::askYesNo(std::u16string_view question, store::DefaultAnswer byDefault) {
  m_window.showCurrentState();
  QMessageBox box(QMessageBox::NoIcon, kCaption, toDisplayText(question),
                  QMessageBox::Yes | QMessageBox::No, &m_window);
  box.setDefaultButton(byDefault == store::DefaultAnswer::No ? QMessageBox::No : QMessageBox::Yes);
  box.exec();
  return box.clickedButton() == box.button(QMessageBox::Yes);
}

bool QtShellPort::show() {
  m_window.showCurrentState();
  if (!m_working) {
    m_working = new WorkingWindow(&m_window);
    // The main window keeps the activation, and an edit control its focus, while it works.
    m_working->setAttribute(Qt::WA_ShowWithoutActivating);
    m_working->show();
  }
  return true;
}

void QtShellPort::hide() {
  const bool wasActive = m_working && m_working->isActiveWindow();
  delete m_working.data();
  if (wasActive) m_window.activateWindow();
}

void QtShellPort::setLine(std::u16string_view text) {
  if (m_working) m_working->setLine(toQString(text));
}

void QtShellPort::setCompletion(std::uint64_t done, std::uint64_t total) {
  if (m_working) m_working->setCompletion(done, total);
}

bool QtShellPort::cancelRequested() { return m_working && m_working->cancelRequested(); }

std::optional<std::filesystem::path> QtShellPort::runFileDialog(const shell::FileDialog& d,
                                                                bool save,
                                                                const QString& proposed) {
  m_window.showCurrentState();
  QFileDialog dialog(&m_window, toQString(d.title), m_folder);
  dialog.setNameFilters(nameFilters(d));
  dialog.setDefaultSuffix(toQString(d.defaultExtension));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  // An open dialog whose file need not exist (New) takes a new name as well.
  dialog.setFileMode(d.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !d.askBeforeOverwrite);
  if (!proposed.isEmpty()) dialog.selectFile(proposed);
  if (!d.selected.empty()) {
    const QFileInfo selected(pathToQString(d.selected));
    dialog.setDirectory(selected.absolutePath());
    dialog.selectFile(selected.absoluteFilePath());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString chosen = dialog.selectedFiles().constFirst();
  m_folder = QFileInfo(chosen).absolutePath();
  return qStringToPath(chosen);
}

std::optional<std::filesystem::path> QtShellPort::pickOpenFile(const shell::FileDialog& dialog) {
  return runFileDialog(dialog, false, {});
}

std::optional<std::filesystem::path> QtShellPort::pickSaveFile(
    const shell::FileDialog& dialog, const std::filesystem::path& proposed) {
  QString name = pathToQString(proposed);
  if (!name.isEmpty() && !dialog.defaultExtension.empty()) {
    name += QLatin1Char('.') + toQString(dialog.defaultExtension);
  }
  return runFileDialog(dialog, true, name);
}

int QtShellPort::askString(std::u16string_view title, std::u16string& text) {
  m_window.showCurrentState();
  return runGetStringDialog(&m_window, title, text, *this);
}

int QtShellPort::askNumber(int start) {
  m_window.showCurrentState();
  return runGoToDialog(&m_window, start);
}

bool QtShellPort::runFontsDialog(presentation::FontsDialog& dialog) {
  m_window.showCurrentState();
  return qt::runFontsDialog(&m_window, dialog);
}

std::vector<std::u16string> QtShellPort::fontFamilies() {
  // One entry a family: the foundries' copies of a family ("C059 [UKWN]") are one choice.
  QStringList families;
  for (QString family : QFontDatabase::families()) {
    if (const qsizetype bracket = family.indexOf(QStringLiteral(" [")); bracket > 0) {
      family.truncate(bracket);
    }
    families << family;
  }
  families.removeDuplicates();
  std::vector<std::u16string> out;
  for (const QString& family : families) out.push_back(toU16(family));
  return out;
}

std::optional<std::uint16_t> QtShellPort::runCalendar(learning::RepetitionsCalendar& calendar,
                                                      store::Collection& collection) {
  m_window.showCurrentState();
  return runCalendarDialog(&m_window, calendar, collection);
}

void QtShellPort::runAbout() {
  m_window.showCurrentState();
  runAboutDialog(&m_window);
}

void QtShellPort::focusMainWindow() { m_window.focusWorkArea(); }

void QtShellPort::softKeyboard(bool) {}

void QtShellPort::launch(std::u16string_view program, std::u16string_view argument) {
  if (program.empty()) {
    showHelpWindow(&m_window, toQString(argument));
    return;
  }
  QProcess::startDetached(toQString(program), {toQString(argument)});
}

void QtShellPort::requestClose() { m_window.close(); }

}  // namespace kelvora::qt
