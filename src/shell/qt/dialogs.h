// The desktop program's small windows: Get string, Go to, Fonts, the repetitions calendar,
// About and the help window. Each draws the headless logic it is given and hands it the user's
// input; no decision is taken here.
#pragma once

#include <QDialog>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "learning/repetitions_calendar.h"
#include "presentation/fonts_dialog.h"
#include "store/collection.h"
#include "store/message_port.h"

class QLabel;
class QWidget;

namespace kelvora::qt {

// Edits text under the caller's title. Returns the number of code units now in text (0 for an
// empty text); on cancel returns 0 and leaves text as it was. An over-long text is reported
// through messages and cut.
int runGetStringDialog(QWidget* parent, std::u16string_view title, std::u16string& text,
                       store::MessagePort& messages);

// Asks for an item number, opening with start (one-based). Returns the number, -1 on cancel.
int runGoToDialog(QWidget* parent, int start);

// Runs the Fonts dialog over dialog. Returns true on OK; the caller then calls dialog.ok() with
// the settings to write.
bool runFontsDialog(QWidget* parent, presentation::FontsDialog& dialog);

// Shows the calendar of collection, a month at a time, with the list of the day selected
// (today's when it opens), until OK or closing. The position of the item chosen from the list
// with OK, a double click or Enter, or nothing.
std::optional<std::uint16_t> runCalendarDialog(QWidget* parent,
                                               learning::RepetitionsCalendar& calendar,
                                               store::Collection& collection);

void runAboutDialog(QWidget* parent);

// Opens the local HTML page helpFile in a non-modal window owned by parent; a second call
// brings the open window to the front with that page.
void showHelpWindow(QWidget* parent, const QString& helpFile);

}  // namespace kelvora::qt
