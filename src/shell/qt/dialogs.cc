// The small windows of the desktop program, drawn from the headless dialog logic.
#include "shell/qt/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDate>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStringList>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "presentation/fonts.h"
#include "presentation/number_field.h"
#include "shell/qt/pane_font.h"
#include "shell/qt/text_conversion.h"
#include "shell/small_dialogs.h"

namespace kelvora::qt {
namespace {

constexpr char16_t kCalendarTitle[] = u"Repetitions calendar";
constexpr char16_t kHelpTitle[] = u"Kelvora Help";
constexpr char kHelpWindowName[] = "kelvoraHelpWindow";

// The drawing area of the calendar, in pixels: the view's geometry reaches x 232 and, with the
// day axis text under the chart, about y 215.
constexpr int kCalendarWidth = 236;
constexpr int kCalendarHeight = 218;
// The About text area, in pixels; its lines reach y 144 plus one line.
constexpr int kAboutWidth = 220;
constexpr int kAboutHeight = 166;

// A font of the given pixel height (em height) and weight in face, or where that is not
// installed in a sans-serif face of about its widths: the fixed positions of the calendar's and
// the About box's texts were laid out for narrow glyphs.
QFont pixelFont(const QString& face, int pixels, bool bold) {
  static const QStringList kNarrowSans = {QStringLiteral("Liberation Sans"),
                                          QStringLiteral("Arial"), QStringLiteral("Helvetica")};
  QFont font;
  font.setStyleHint(QFont::SansSerif);
  font.setFamily(face);
  if (!QFontDatabase::hasFamily(face)) {
    const auto found = std::find_if(kNarrowSans.begin(), kNarrowSans.end(),
                                    [](const QString& f) { return QFontDatabase::hasFamily(f); });
    if (found != kNarrowSans.end()) {
      font.setFamily(*found);
    } else {
      font.setFamily(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
      font.setStretch(QFont::SemiCondensed);
    }
  }
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QColor toColour(const learning::Rgb& rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

// A digits-only single-line field.
void makeDigitsOnly(QLineEdit* edit) {
  edit->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
}

QDialogButtonBox* okCancelButtons(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

QDialogButtonBox* okButton(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  return buttons;
}

void removeHelpButton(QDialog* dialog) {
  dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

// ---- Fonts ----

// The face list: typed letters select the first face beginning with them (letters typed in
// quick succession make one prefix), as the dialog logic finds it.
class FaceList : public QListWidget {
 public:
  FaceList(QWidget* parent, std::function<void(const QString&)> onPrefix)
      : QListWidget(parent), m_onPrefix(std::move(onPrefix)) {}

  void keyboardSearch(const QString& search) override {
    if (search.isEmpty()) return;
    if (!m_typing.isValid() || m_typing.elapsed() > QApplication::keyboardInputInterval()) {
      m_prefix.clear();
    }
    m_typing.restart();
    m_prefix += search;
    m_onPrefix(m_prefix);
  }

 private:
  std::function<void(const QString&)> m_onPrefix;
  QString m_prefix;
  QElapsedTimer m_typing;
};

// The size field: the Up and Down keys step the size as the arrows do.
class SizeEdit : public QLineEdit {
 public:
  SizeEdit(QWidget* parent, std::function<void(int)> onStep)
      : QLineEdit(parent), m_onStep(std::move(onStep)) {}

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
      m_onStep(event->key() == Qt::Key_Up ? 1 : -1);
      return;
    }
    QLineEdit::keyPressEvent(event);
  }

 private:
  std::function<void(int)> m_onStep;
};

// ---- Calendar ----

// The month drawn as the calendar's view gives it. It takes the keyboard focus: the arrow keys
// move the selected day a day or a week, Page Up and Page Down a month, and Enter (or a click
// on a day) opens the selected day's list.
class CalendarArea : public QWidget {
 public:
  CalendarArea(QWidget* parent, learning::RepetitionsCalendar& calendar,
               const store::Collection& collection, std::function<void()> openDay)
      : QWidget(parent),
        m_calendar(calendar),
        m_collection(collection),
        m_openDay(std::move(openDay)) {
    // Drawn at the size of the system font: larger with a larger font or a denser screen.
    m_scale = std::max(1.0, QFontInfo(font()).pixelSize() / 12.0);
    setFixedSize(static_cast<int>(kCalendarWidth * m_scale),
                 static_cast<int>(kCalendarHeight * m_scale));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(toQString(kCalendarTitle));
    setFocusPolicy(Qt::StrongFocus);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    switch (event->key()) {
      case Qt::Key_Left:
        m_calendar.moveSelection(-1);
        break;
      case Qt::Key_Right:
        m_calendar.moveSelection(1);
        break;
      case Qt::Key_Up:
        m_calendar.moveSelection(-7);
        break;
      case Qt::Key_Down:
        m_calendar.moveSelection(7);
        break;
      case Qt::Key_PageUp:
        m_calendar.showPreviousMonth();
        break;
      case Qt::Key_PageDown:
        m_calendar.showNextMonth();
        break;
      case Qt::Key_Home:
        m_calendar.selectDay(m_calendar.today());
        break;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        m_openDay();
        return;
      default:
        QWidget::keyPressEvent(event);
        return;
    }
    update();
  }

  void mousePressEvent(QMouseEvent* event) override {
    const QPointF at = event->position() / m_scale;
    const auto cell = learning::calendarCellAt(static_cast<int>(at.x()), static_cast<int>(at.y()));
    if (event->button() != Qt::LeftButton || !cell) return;
    const learning::CalendarView view = m_calendar.view(m_collection);
    const int day = view.cells[*cell].day;
    if (day == 0 || long{view.month} + day - 1 > learning::kLastDay) return;
    m_calendar.selectDay(static_cast<learning::DayNumber>(view.month + day - 1));
    setFocus(Qt::MouseFocusReason);
    update();
    m_openDay();
  }

  void paintEvent(QPaintEvent* /*event*/) override {
    const learning::CalendarView view = m_calendar.view(m_collection);
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.scale(m_scale, m_scale);
    const QColor base = palette().color(QPalette::Base);
    const QColor ink = palette().color(QPalette::Text);

    // The frame: a one-pixel border around the inside; right and bottom exclusive.
    const learning::CalendarRect& frame = view.frame;
    const QRect frameRect(QPoint(frame.left, frame.top), QPoint(frame.right - 1, frame.bottom - 1));
    painter.fillRect(frameRect, base);
    painter.setPen(QPen(ink, 0));
    painter.drawRect(frameRect.adjusted(0, 0, -1, -1));

    for (const learning::CalendarLine& line : view.lines) drawLine(painter, line);
    for (const learning::CalendarText& text : view.labels) drawText(painter, text);
    for (const learning::CalendarCell& cell : view.cells) {
      if (cell.day == 0) continue;
      if (cell.today) {
        // Today: its cell filled in the selection colour.
        const QRect day(cell.dayText.x - 3, cell.dayText.y - 1, learning::kCalendarColumnWidth - 1,
                        learning::kCalendarRowHeight);
        painter.fillRect(day, palette().color(QPalette::Highlight));
      }
      drawText(painter, cell.dayText, cell.today);
      if (cell.countText) drawText(painter, *cell.countText, cell.today);
      if (cell.selected) {
        // The selected day: framed, in the focus colour while the calendar has the focus.
        const QRect day(cell.dayText.x - 3, cell.dayText.y - 1, learning::kCalendarColumnWidth - 2,
                        learning::kCalendarRowHeight - 1);
        painter.setPen(QPen(
            hasFocus() ? palette().color(QPalette::Highlight) : palette().color(QPalette::Text), 0,
            hasFocus() ? Qt::SolidLine : Qt::DotLine));
        painter.drawRect(day);
        if (cell.today && hasFocus()) {
          painter.setPen(QPen(palette().color(QPalette::HighlightedText), 0, Qt::DotLine));
          painter.drawRect(day.adjusted(1, 1, -1, -1));
        }
      }
      if (cell.bar) {
        const learning::CalendarRect& bar = cell.bar->rect;
        if (bar.right > bar.left && bar.bottom > bar.top) {
          painter.fillRect(QRect(QPoint(bar.left, bar.top), QPoint(bar.right - 1, bar.bottom - 1)),
                           toColour(cell.bar->colour));
        }
      }
    }
  }

 private:
  // The calendar's colours in the window's theme: black is the text colour, and on a dark
  // background the dark colours of counts and captions are lightened to stay readable.
  QColor themed(const learning::Rgb& rgb) const {
    if (rgb == learning::kCalendarBlack) return palette().color(QPalette::Text);
    const QColor c = toColour(rgb);
    if (palette().color(QPalette::Base).lightness() >= 128) return c;
    return QColor::fromHsv(c.hsvHue(), 150, 255);  // the same hue, light
  }

  // One pixel wide; the end point is left out, which for the axis-parallel lines of the
  // calendar means stopping one pixel short.
  void drawLine(QPainter& painter, const learning::CalendarLine& line) const {
    QPen pen(palette().color(QPalette::Text), 0, line.dashed ? Qt::DashLine : Qt::SolidLine);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    int x2 = line.x2;
    int y2 = line.y2;
    if (line.y1 == line.y2 && line.x1 != line.x2) x2 += line.x2 > line.x1 ? -1 : 1;
    if (line.x1 == line.x2 && line.y1 != line.y2) y2 += line.y2 > line.y1 ? -1 : 1;
    painter.drawLine(line.x1, line.y1, x2, y2);
  }

  // Opaque text: the box behind the glyphs takes the background, its top left corner at (x, y).
  void drawText(QPainter& painter, const learning::CalendarText& text,
                bool highlighted = false) const {
    const QFont font = pixelFont(QStringLiteral("Tahoma"), 11, text.bold);
    const QFontMetrics metrics(font);
    const QString string = toQString(text.text);
    if (!highlighted) {
      painter.fillRect(QRect(text.x, text.y, metrics.horizontalAdvance(string), metrics.height()),
                       palette().color(QPalette::Base));
    }
    painter.setFont(font);
    painter.setPen(highlighted ? palette().color(QPalette::HighlightedText) : themed(text.colour));
    painter.drawText(text.x, text.y + metrics.ascent(), string);
  }

  void focusInEvent(QFocusEvent* event) override {
    QWidget::focusInEvent(event);
    update();
  }
  void focusOutEvent(QFocusEvent* event) override {
    QWidget::focusOutEvent(event);
    update();
  }

  learning::RepetitionsCalendar& m_calendar;
  const store::Collection& m_collection;
  std::function<void()> m_openDay;
  double m_scale = 1.0;
};

// ---- About ----

class AboutArea : public QWidget {
 public:
  explicit AboutArea(QWidget* parent) : QWidget(parent) { setFixedSize(kAboutWidth, kAboutHeight); }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    QFont font = pixelFont(toQString(shell::kAboutFontFace), shell::kAboutFontHeight, false);
    font.setWeight(static_cast<QFont::Weight>(shell::kAboutFontWeight));
    painter.setFont(font);
    const QFontMetrics metrics(font);
    for (const shell::AboutLine& line : shell::aboutLines()) {
      painter.setPen(QColor(static_cast<QRgb>(line.rgb)));
      painter.drawText(line.x, line.y + metrics.ascent(), toQString(line.text));
    }
  }
};

}  // namespace

int runGetStringDialog(QWidget* parent, std::u16string_view title, std::u16string& text,
                       store::MessagePort& messages) {
  const shell::GetStringDialog logic{std::u16string(title), text};
  QDialog dialog(parent);
  removeHelpButton(&dialog);
  dialog.setWindowTitle(toQString(logic.title()));
  auto* edit = new QLineEdit(toQString(logic.text()), &dialog);
  edit->selectAll();
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(edit);
  layout->addWidget(okCancelButtons(&dialog));
  edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 24);

  const shell::StringAnswer answer = dialog.exec() == QDialog::Accepted
                                         ? logic.confirm(edit->text().toStdU16String(), messages)
                                         : logic.cancel();
  text = answer.text;
  return answer.length;
}

int runGoToDialog(QWidget* parent, int start) {
  const shell::GoToDialog logic(start);
  QDialog dialog(parent);
  removeHelpButton(&dialog);
  dialog.setWindowTitle(toQString(shell::kGoToTitle));
  auto* label = new QLabel(QStringLiteral("Item:"), &dialog);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  auto* edit = new QLineEdit(toQString(logic.text()), &dialog);
  makeDigitsOnly(edit);
  edit->selectAll();
  label->setBuddy(edit);
  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(edit);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(row);
  layout->addWidget(okCancelButtons(&dialog));

  if (dialog.exec() != QDialog::Accepted) return logic.cancel();
  return logic.confirm(edit->text().toStdU16String());
}

namespace {

// The Fonts dialog's window: its controls show the logic's state and hand every input to it.
class FontsWindow {
 public:
  FontsWindow(QWidget* parent, presentation::FontsDialog& logic)
      : m_dialog(parent), m_logic(logic) {
    removeHelpButton(&m_dialog);
    m_dialog.setWindowTitle(toQString(presentation::kFontsDialogTitle));
    createControls();
    connectControls();
    arrange();
  }

  bool run() {
    refresh();
    m_faces->setFocus();
    return m_dialog.exec() == QDialog::Accepted;
  }

 private:
  void createControls() {
    m_question = new QRadioButton(QStringLiteral("Question"), &m_dialog);
    m_answer = new QRadioButton(QStringLiteral("Answer"), &m_dialog);
    m_bold = new QCheckBox(QStringLiteral("Bold"), &m_dialog);
    m_preview = new QLabel(QStringLiteral("AaBbCc XxYyZz 0123"), &m_dialog);
    m_preview->setObjectName(QStringLiteral("fontPreview"));
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setMinimumHeight(m_preview->fontMetrics().height() * 3);
    m_faces = new FaceList(&m_dialog, [this](const QString& prefix) {
      const auto found = presentation::findFacePrefix(m_logic.faces(), prefix.toStdU16String());
      if (found) m_logic.selectFace(*found);
      refresh();
    });
    for (const std::u16string& face : m_logic.faces()) m_faces->addItem(toQString(face));
    m_faces->setSelectionMode(QAbstractItemView::SingleSelection);
    m_size = new SizeEdit(&m_dialog, [this](int steps) { act([&] { m_logic.stepSize(steps); }); });
    makeDigitsOnly(m_size);
    m_size->setMaximumWidth(m_size->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    m_up = new QToolButton(&m_dialog);
    m_up->setArrowType(Qt::UpArrow);
    m_down = new QToolButton(&m_dialog);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* arrow : {m_up, m_down}) {
      arrow->setAutoRepeat(true);
      arrow->setFocusPolicy(Qt::NoFocus);
      arrow->setFixedSize(16, 11);
    }
  }

  // Hands an input to the logic and shows its state again.
  template <typename Change>
  void act(Change change) {
    change();
    refresh();
  }

  void connectControls() {
    QDialog* d = &m_dialog;
    // A choice is a selected row: the list makes its first row current when it takes the focus
    // with no row selected, and that is not the user's choice.
    QObject::connect(m_faces, &QListWidget::itemSelectionChanged, d, [this] {
      const int row = m_faces->currentRow();
      if (row < 0 || !m_faces->item(row)->isSelected()) return;
      act([&] { m_logic.selectFace(static_cast<std::size_t>(row)); });
    });
    QObject::connect(m_size, &QLineEdit::textEdited, d, [this](const QString& text) {
      m_logic.setSizeText(text.toStdU16String());
      showPreview();
    });
    QObject::connect(m_up, &QToolButton::clicked, d, [this] { act([&] { m_logic.stepSize(1); }); });
    QObject::connect(m_down, &QToolButton::clicked, d,
                     [this] { act([&] { m_logic.stepSize(-1); }); });
    QObject::connect(m_bold, &QCheckBox::clicked, d,
                     [this](bool checked) { act([&] { m_logic.setBold(checked); }); });
    // A click counts also on the button already checked.
    QObject::connect(m_question, &QRadioButton::clicked, d,
                     [this] { act([&] { m_logic.clickSide(presentation::FontSide::Question); }); });
    QObject::connect(m_answer, &QRadioButton::clicked, d,
                     [this] { act([&] { m_logic.clickSide(presentation::FontSide::Answer); }); });
  }

  void arrange() {
    auto* nameBox = new QGroupBox(QStringLiteral("Font name"), &m_dialog);
    auto* nameLayout = new QVBoxLayout(nameBox);
    nameLayout->addWidget(m_faces);
    m_faces->setMinimumHeight(m_faces->fontMetrics().height() * 6);

    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(0);
    arrows->addWidget(m_up);
    arrows->addWidget(m_down);
    auto* sizeRow = new QHBoxLayout;
    auto* sizeLabel = new QLabel(QStringLiteral("Font size:"), &m_dialog);
    sizeLabel->setBuddy(m_size);
    sizeRow->addWidget(sizeLabel);
    sizeRow->addWidget(m_size);
    sizeRow->addLayout(arrows);
    sizeRow->setSpacing(2);

    auto* sides = new QVBoxLayout;
    sides->addWidget(m_question);
    sides->addWidget(m_answer);
    auto* properties = new QVBoxLayout;
    properties->addLayout(sizeRow);
    properties->addWidget(m_bold);
    auto* lower = new QHBoxLayout;
    lower->addLayout(sides);
    lower->addStretch();
    lower->addLayout(properties);

    auto* layout = new QVBoxLayout(&m_dialog);
    layout->addWidget(nameBox);
    layout->addLayout(lower);
    layout->addWidget(m_preview);
    layout->addWidget(okCancelButtons(&m_dialog));
  }

  // Every control shows the logic's state; signals are held while the controls are set so
  // that setting them is not taken for the user's input.
  void refresh() {
    const QSignalBlocker holdFaces(m_faces);
    const QSignalBlocker holdSize(m_size);
    const QSignalBlocker holdBold(m_bold);
    m_question->setChecked(m_logic.side() == presentation::FontSide::Question);
    m_answer->setChecked(m_logic.side() == presentation::FontSide::Answer);
    if (const auto selected = m_logic.selectedFace()) {
      m_faces->setCurrentRow(static_cast<int>(*selected));
      m_faces->scrollToItem(m_faces->currentItem());
    } else {
      m_faces->clearSelection();
    }
    const QString sizeText = toQString(m_logic.sizeText());
    if (m_size->text() != sizeText) m_size->setText(sizeText);
    m_bold->setChecked(m_logic.bold());
    showPreview();
  }

  // The sample line in the font the side would get with OK now.
  void showPreview() {
    store::FontSetting font;
    const auto selected = m_logic.selectedFace();
    font.face = selected ? m_logic.faces()[*selected] : std::u16string();
    font.size = presentation::readNumberField(m_logic.sizeText());
    font.weight = m_logic.bold() ? presentation::kBoldWeight : 400;
    m_preview->setFont(paneFont(presentation::editFont(font), m_dialog.font()));
  }

  QDialog m_dialog;
  presentation::FontsDialog& m_logic;
  QRadioButton* m_question = nullptr;
  QRadioButton* m_answer = nullptr;
  QCheckBox* m_bold = nullptr;
  FaceList* m_faces = nullptr;
  SizeEdit* m_size = nullptr;
  QToolButton* m_up = nullptr;
  QToolButton* m_down = nullptr;
  QLabel* m_preview = nullptr;
};

}  // namespace

bool runFontsDialog(QWidget* parent, presentation::FontsDialog& logic) {
  return FontsWindow(parent, logic).run();
}

std::optional<std::uint16_t> runCalendarDialog(QWidget* parent,
                                               learning::RepetitionsCalendar& calendar,
                                               store::Collection& collection) {
  QDialog dialog(parent);
  removeHelpButton(&dialog);
  dialog.setWindowTitle(toQString(kCalendarTitle));

  // The day's list beside the calendar: one row per item its count shows.
  auto* caption = new QLabel(&dialog);
  caption->setObjectName(QStringLiteral("dayCaption"));
  auto* list = new QTreeWidget(&dialog);
  list->setObjectName(QStringLiteral("dayList"));
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->setHeaderLabels({QStringLiteral("Question"), QStringLiteral("Answer"),
                         QStringLiteral("Status"), QStringLiteral("Interval")});
  list->setAccessibleName(QStringLiteral("Items of the day"));
  caption->setBuddy(list);
  const int em = list->fontMetrics().averageCharWidth();
  const int statusWidth =
      list->fontMetrics().horizontalAdvance(QStringLiteral("Memorized, overdue")) + 2 * em;
  list->setColumnWidth(0, em * 20);
  list->setColumnWidth(1, em * 16);
  list->setColumnWidth(2, statusWidth);
  list->setMinimumWidth(em * 46 + statusWidth);
  std::optional<std::uint16_t> chosen;

  auto openDay = [&] {
    const std::vector<learning::DayListRow> rows = calendar.selectedDayList(collection);
    const learning::CalendarDate date = learning::dayToDate(calendar.selectedDay());
    const QString day =
        QLocale::system().toString(QDate(date.year, date.month, date.day), QLocale::ShortFormat);
    caption->setText(QStringLiteral("&Due on %1: %2 %3")
                         .arg(day)
                         .arg(rows.size())
                         .arg(rows.size() == 1 ? QStringLiteral("item") : QStringLiteral("items")));
    list->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const learning::DayListRow& row : rows) {
      auto* item = new QTreeWidgetItem({toQString(row.question), toQString(row.answer),
                                        toQString(row.status), toQString(row.interval)});
      item->setData(0, Qt::UserRole, row.position);
      item->setToolTip(0, toQString(row.question));
      items.append(item);
    }
    list->addTopLevelItems(items);
    if (!items.isEmpty()) list->setCurrentItem(items.front());
  };

  auto* area = new CalendarArea(&dialog, calendar, collection, [&] {
    openDay();
    // The keyboard goes on to the list, where Enter takes the item; Shift+Tab comes back.
    if (list->topLevelItemCount() > 0) list->setFocus(Qt::OtherFocusReason);
  });
  auto* previous = new QPushButton(QStringLiteral("<"), &dialog);
  auto* next = new QPushButton(QStringLiteral(">"), &dialog);
  auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
  ok->setDefault(true);
  for (QPushButton* button : {previous, next}) {
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("MM")) + 16);
  }
  QObject::connect(previous, &QPushButton::clicked, &dialog, [&] {
    calendar.showPreviousMonth();
    area->update();
  });
  QObject::connect(next, &QPushButton::clicked, &dialog, [&] {
    calendar.showNextMonth();
    area->update();
  });
  // OK goes to the item chosen in the list, if the list has one; otherwise it only closes.
  auto takeChosen = [&] {
    if (QTreeWidgetItem* item = list->currentItem(); item != nullptr && item->isSelected()) {
      chosen = static_cast<std::uint16_t>(item->data(0, Qt::UserRole).toUInt());
    }
    dialog.accept();
  };
  QObject::connect(ok, &QPushButton::clicked, &dialog, takeChosen);
  QObject::connect(list, &QTreeWidget::itemActivated, &dialog, takeChosen);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(previous);
  buttons->addWidget(next);
  buttons->addStretch();
  auto* left = new QVBoxLayout;
  left->addWidget(area, 0, Qt::AlignHCenter);
  left->addStretch();
  left->addLayout(buttons);
  auto* right = new QVBoxLayout;
  right->addWidget(caption);
  right->addWidget(list, 1);
  auto* okRow = new QHBoxLayout;
  okRow->addStretch();
  okRow->addWidget(ok);
  right->addLayout(okRow);
  auto* layout = new QHBoxLayout(&dialog);
  layout->addLayout(left);
  layout->addLayout(right, 1);
  QWidget::setTabOrder(area, list);
  QWidget::setTabOrder(list, ok);
  openDay();  // today's list, the backlog with it
  area->setFocus(Qt::OtherFocusReason);
  dialog.exec();
  return chosen;
}

void runAboutDialog(QWidget* parent) {
  QDialog dialog(parent);
  removeHelpButton(&dialog);
  dialog.setWindowTitle(toQString(shell::kAboutTitle));
  auto* row = new QHBoxLayout;
  const QIcon icon = parent != nullptr ? parent->windowIcon() : QApplication::windowIcon();
  if (!icon.isNull()) {
    auto* picture = new QLabel(&dialog);
    picture->setPixmap(icon.pixmap(32, 32));
    picture->setAlignment(Qt::AlignTop);
    row->addWidget(picture);
  }
  row->addWidget(new AboutArea(&dialog));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(row);
  // Which release this is, as the program was built (the version the program was given).
  if (const QString version = QCoreApplication::applicationVersion(); !version.isEmpty()) {
    auto* line = new QLabel(QStringLiteral("Version ") + version, &dialog);
    line->setObjectName(QStringLiteral("version"));
    line->setAlignment(Qt::AlignCenter);
    layout->addWidget(line);
  }
  layout->addWidget(okButton(&dialog));
  layout->setSizeConstraint(QLayout::SetFixedSize);
  dialog.exec();
}

void showHelpWindow(QWidget* parent, const QString& helpFile) {
  QWidget* window =
      parent != nullptr ? parent->findChild<QWidget*>(QLatin1String(kHelpWindowName)) : nullptr;
  QTextBrowser* browser = nullptr;
  if (window != nullptr) {
    browser = window->findChild<QTextBrowser*>();
  } else {
    window = new QWidget(parent, Qt::Window);
    window->setObjectName(QLatin1String(kHelpWindowName));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(toQString(kHelpTitle));
    browser = new QTextBrowser(window);
    // Only the local page and its anchors: nothing is fetched from elsewhere.
    browser->setOpenExternalLinks(false);
    browser->setOpenLinks(true);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    window->resize(560, 640);
  }
  browser->setSource(QUrl::fromLocalFile(helpFile));
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace kelvora::qt
