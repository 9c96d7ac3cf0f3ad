#include "Form1.h"

#include "ButtonKeys.h"
#include "Clock.h"
#include "DateText.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "Failure.h"
#include "FileProcs.h"
#include "IsInstalled.h"
#include "ListChanges.h"
#include "ListMenu.h"
#include "ListViewRows.h"
#include "Offices.h"
#include "SettingsStore.h"
#include "Title.h"
#include "Twips.h"
#include "WindowLook.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QDir>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QUndoStack>

#include <algorithm>

namespace quorbel {
namespace {

const QString kHelpText = QStringLiteral("Questions? Please contact Team Marvesk at https://www.marvesk.com/contact");

const QDate kFirstDeadline(1601, 1, 1);
const QDate kLastDeadline(9999, 12, 31);

// A stored list's fields with no column: so many get a box of their own, the
// rest one box that counts them; a box shows so much of the field's text.
constexpr qint64 kExtraFieldBoxes = 10;
constexpr qsizetype kExtraFieldShownLength = 200;

// The list's columns, in the order of the entry's fields.
enum Column { DueByColumn = 0, ProjectColumn = 1, NotesColumn = 2, DoneColumn = 3 };

QFont designFont(qreal pointSize)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(pointSize);
    font.setBold(true);
    return font;
}

void makeWhite(QWidget *widget)
{
    setBackgroundColour(widget, Qt::white);
}

void setCell(QTreeWidgetItem *row, Column column, const QString &text)
{
    if (!row)
        throw Failure(QStringLiteral("There is no new row of the list to fill."));
    row->setText(column, text);
}

} // namespace

// ---------------------------------------------------------------------------
// SelectAllLineEdit

void SelectAllLineEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    switch (event->reason()) {
    case Qt::MouseFocusReason:
        // The press that follows would put the cursor where the mouse is.
        m_keepSelectionOnPress = true;
        selectAll();
        break;
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
        selectAll();
        break;
    default:
        // The window coming back, or a popup menu closing: the user was in
        // the middle of this text, so leave the cursor where it was.
        break;
    }
}

void SelectAllLineEdit::focusOutEvent(QFocusEvent *event)
{
    m_keepSelectionOnPress = false;
    QLineEdit::focusOutEvent(event);
}

void SelectAllLineEdit::mousePressEvent(QMouseEvent *event)
{
    QLineEdit::mousePressEvent(event);
    if (m_keepSelectionOnPress) {
        m_keepSelectionOnPress = false;
        selectAll();
    }
}

// ---------------------------------------------------------------------------
// DeadlinePicker

bool DeadlinePicker::focusNextPrevChild(bool next)
{
    return QWidget::focusNextPrevChild(next);
}

// ---------------------------------------------------------------------------
// Form1

Form1::Form1(Services services, QWidget *parent)
    : QWidget(parent), m_services(std::move(services))
{
    if (!m_services.isInstalled)
        m_services.isInstalled = [] {
            // Started and ended again: nothing is kept ahead of need here.
            Offices offices(Options::fromEnvironment().withoutOfficesAhead());
            return IsInstalled(offices);
        };
    if (!m_services.endProgram)
        m_services.endProgram = [] { QCoreApplication::exit(0); };
    if (m_services.programFolder.isEmpty())
        m_services.programFolder = programFolder();

    createControls();
    Form_Load();
    if (m_startUpCompleted)
        centreOnScreen(this);
}

Form1::~Form1()
{
    // A cell editor still open loses the focus while the window goes; what
    // it holds is no change of the list any more.
    ListView1->disconnect(this);
}

void Form1::createControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(twipsToPixels(8040), twipsToPixels(8415));
    setFont(designFont(9));
    makeWhite(this);

    const auto button = [this](const char *name, const QString &caption, QWidget *container) {
        auto *b = new QPushButton(caption, container);
        b->setObjectName(QLatin1String(name));
        b->setFont(designFont(11.25));
        b->setAutoDefault(false);
        pressOnReturn(b);
        return b;
    };
    const auto frame = [](const char *name, const QString &caption, QWidget *container) {
        auto *f = new QGroupBox(caption, container);
        f->setObjectName(QLatin1String(name));
        makeWhite(f);
        return f;
    };
    const auto label = [](const char *name, const QString &caption, QWidget *container, QWidget *labels) {
        auto *l = new QLabel(caption, container);
        l->setObjectName(QLatin1String(name));
        l->setBuddy(labels);
        makeWhite(l);
        return l;
    };
    const auto textBox = [](const char *name, QWidget *container) {
        auto *t = new SelectAllLineEdit(container);
        t->setObjectName(QLatin1String(name));
        return t;
    };

    PushButton6 = button("PushButton6", QStringLiteral("Start Creating Template"), this);
    PushButton3 = button("PushButton3", QStringLiteral("Help"), this);
    PushButton7 = button("PushButton7", QStringLiteral("Load Sample/Example Data"), this);

    Frame1 = frame("Frame1", QStringLiteral("General Options"), this);
    dtpDate = new DeadlinePicker(Frame1);
    dtpDate->setObjectName(QStringLiteral("dtpDate"));
    dtpDate->setDisplayFormat(QStringLiteral("dd-MMM-yyyy"));
    dtpDate->setDateRange(kFirstDeadline, kLastDeadline);
    dtpDate->setCalendarPopup(true);
    dtpDate->setDate(today());
    txtName = textBox("txtName", Frame1);
    txtProName = textBox("txtProName", Frame1);
    QLabel *deadlineLabel = label("lblDeadline", QStringLiteral("Deadline:"), Frame1, dtpDate);
    QLabel *nameLabel = label("lblName", QStringLiteral("To Be Completed By:"), Frame1, txtName);
    QLabel *proNameLabel = label("lblProName", QStringLiteral("Project Name:"), Frame1, txtProName);

    Frame2 = frame("Frame2", QStringLiteral("To Do List Entries"), this);
    txtDate = textBox("txtDate", Frame2);
    txtProj = textBox("txtProj", Frame2);
    txtNotes = textBox("txtNotes", Frame2);
    QLabel *dateLabel = label("lblDate", QStringLiteral("Due By:"), Frame2, txtDate);
    QLabel *projLabel = label("lblProj", QStringLiteral("Project:"), Frame2, txtProj);
    QLabel *notesLabel = label("lblNotes", QStringLiteral("Notes:"), Frame2, txtNotes);
    Check1 = new QCheckBox(QStringLiteral("Done"), Frame2);
    Check1->setObjectName(QStringLiteral("Check1"));
    makeWhite(Check1);
    PushButton1 = button("PushButton1", QStringLiteral("Add"), Frame2);
    PushButton2 = button("PushButton2", QStringLiteral("Delete Selected"), Frame2);
    PushButton5 = button("PushButton5", QStringLiteral("Check Selected As Done"), Frame2);

    ListView1 = new EntryListView(Frame2);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("To Do List Entries"));
    ListView1->setColumnCount(4);
    ListView1->setHeaderLabels({QStringLiteral("Due By"), QStringLiteral("Project"), QStringLiteral("Notes"),
                                QStringLiteral("Done")});
    ListView1->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setSectionsMovable(false);
    ListView1->setColumnWidth(DueByColumn, twipsToPixels(1000));
    ListView1->setColumnWidth(ProjectColumn, twipsToPixels(2300));
    ListView1->setColumnWidth(NotesColumn, twipsToPixels(2300));
    ListView1->setColumnWidth(DoneColumn, twipsToPixels(1440));
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSortingEnabled(false);
    // The list keeps a current row while it has rows; a row the user
    // deselects (Ctrl+click) is selected again once the click is over.
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, &Form1::keepCurrentRow, Qt::QueuedConnection);

    // The list's changes: edits in place, moves, undo and redo, the context
    // menu and the keys.
    m_undoStack = new QUndoStack(this);
    m_rows = std::make_unique<ListViewRows>(*ListView1, *dtpDate, *txtName, *txtProName);
    const ListMenu menu = makeListMenu(*this, *ListView1, *m_undoStack);
    mnuList = menu.menu;
    mnuUndo = menu.undo;
    mnuRedo = menu.redo;
    mnuEdit = menu.edit;
    mnuMoveUp = menu.moveUp;
    mnuMoveDown = menu.moveDown;
    mnuSortByDueDate = menu.sortByDueDate;
    mnuDeleteSelected = menu.deleteSelected;
    connect(mnuUndo, &QAction::triggered, this, &Form1::mnuUndo_Click);
    connect(mnuRedo, &QAction::triggered, this, &Form1::mnuRedo_Click);
    connect(mnuEdit, &QAction::triggered, this, &Form1::mnuEdit_Click);
    connect(mnuMoveUp, &QAction::triggered, this, &Form1::mnuMoveUp_Click);
    connect(mnuMoveDown, &QAction::triggered, this, &Form1::mnuMoveDown_Click);
    connect(mnuSortByDueDate, &QAction::triggered, this, &Form1::mnuSortByDueDate_Click);
    connect(mnuDeleteSelected, &QAction::triggered, this, &Form1::PushButton2_Click);
    connect(ListView1, &EntryListView::cellEdited, this, &Form1::ListView1_AfterLabelEdit);
    connect(ListView1, &EntryListView::rowDropped, this, &Form1::ListView1_OLEDragDrop);
    connect(ListView1, &EntryListView::doneToggleRequested, this, &Form1::ListView1_DoneToggle);

    placeControls({
        {PushButton6, 120, 120, 7800, 405},
        {PushButton3, 120, 630, 3840, 405},
        {PushButton7, 4080, 630, 3840, 405},
        {Frame1, 120, 1110, 7800, 1725},
        {deadlineLabel, 240, 345, 1755, 225},
        {dtpDate, 2160, 300, 5325, 345},
        {nameLabel, 240, 795, 1760, 225},
        {txtName, 2160, 750, 5325, 345},
        {proNameLabel, 240, 1245, 1760, 225},
        {txtProName, 2160, 1200, 5325, 345},
        {Frame2, 120, 2910, 7800, 5385},
        {dateLabel, 240, 345, 1760, 225},
        {txtDate, 2160, 300, 5325, 345},
        {projLabel, 240, 795, 1760, 225},
        {txtProj, 2160, 750, 5325, 345},
        {notesLabel, 240, 1245, 1760, 225},
        {txtNotes, 2160, 1200, 5325, 345},
        {Check1, 2160, 1650, 855, 255},
        {PushButton1, 2160, 2040, 2520, 405},
        {PushButton2, 4800, 2040, 2640, 405},
        {PushButton5, 2160, 2550, 5295, 405},
        {ListView1, 255, 3090, 7245, 2130},
    });

    // A caption a little wider than its designed label (the metrics of the
    // font in use differ by a few pixels) may take the free space up to its
    // field rather than lose its last characters.
    for (QLabel *caption : {deadlineLabel, nameLabel, proNameLabel, dateLabel, projLabel, notesLabel}) {
        const int needed = caption->sizeHint().width();
        const int room = caption->buddy()->x() - caption->x() - 2;
        if (needed > caption->width())
            caption->resize(std::min(needed, room), caption->height());
    }

    const QList<QWidget *> tabOrder = {dtpDate,     txtName,     txtProName, PushButton6, txtNotes,
                                       txtDate,     txtProj,     Check1,     PushButton1, PushButton2,
                                       ListView1,   PushButton5, PushButton3, PushButton7};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder.at(i - 1), tabOrder.at(i));
    dtpDate->setFocus(Qt::OtherFocusReason);

    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
    connect(dtpDate, &QDateEdit::dateChanged, this, &Form1::dtpDate_Change);
    connect(txtName, &QLineEdit::textChanged, this, &Form1::txtName_Change);
    connect(txtProName, &QLineEdit::textChanged, this, &Form1::txtProName_Change);
}

QDate Form1::today() const
{
    static const Clock systemClock;
    return (m_services.clock ? m_services.clock : &systemClock)->today();
}

// ---------------------------------------------------------------------------
// Start-up and closing

void Form1::Form_Load()
{
    Steps steps(QStringLiteral("Form1.Form_Load"));
    QCursor hand(Qt::ArrowCursor);

    steps(100, [&] { ApplyWindowSkin(this, m_services.programFolder); });
    // One statement a call: a failing statement is reported and the next
    // one, of the same step or the next, runs all the same.
    steps(102, [&] { setWindowTitle(kProductTitle); });
    steps(102, [&] { setWindowIcon(QApplication::windowIcon()); });
    steps(104, [&] { SetApplicationTitle(); });
    const QString cursorPath = QDir(m_services.programFolder).filePath(kHandPointerFile);
    if (steps.test(106, [&] { return FileExists(cursorPath); }))
        steps(106, [&] { hand = readHandPointer(cursorPath); });
    installPointerFeedback(this, hand, {PushButton1, PushButton2, PushButton3, PushButton5, PushButton6, PushButton7},
                           {this, Frame1, Frame2, ListView1, ListView1->viewport(), txtName, txtProName, dtpDate});

    QString storedDeadline;
    steps(108, [&] { storedDeadline = readSetting(QStringLiteral("dtpDate")); });
    if (steps.test(108, [&] { return storedDeadline.isEmpty(); })) {
        steps(108, [&] { dtpDate->setDate(today()); });
    } else {
        steps(108, [&] {
            const std::optional<QDateTime> value = readGeneralDateText(storedDeadline);
            if (!value || value->date() < kFirstDeadline || value->date() > kLastDeadline)
                throw Failure(QStringLiteral("The stored deadline \"%1\" is not a date.").arg(storedDeadline));
            dtpDate->setDate(value->date());
        });
    }
    steps(110, [&] { txtName->setText(readSetting(QStringLiteral("txtName"))); });
    steps(112, [&] { txtProName->setText(readSetting(QStringLiteral("txtProName"))); });

    QString storedList;
    QList<ListEntry> restored;
    steps(114, [&] { storedList = readSetting(QStringLiteral("ToDo")); });
    steps(114, [&] {
        // Each field with no column is reported, up to a few boxes: a damaged
        // store may hold millions of them, which one box then counts.
        qint64 extraFields = 0;
        decodeEntryList(storedList, restored, [&](const ExtraEntryField &extra) {
            if (++extraFields > kExtraFieldBoxes)
                return;
            steps(114, [&] {
                throw Failure(QStringLiteral("Entry %1 of the stored list has a field %2 with no column to go to; "
                                             "\"%3\" was left out.")
                                  .arg(extra.entryNumber + ListView1->topLevelItemCount())
                                  .arg(extra.fieldNumber)
                                  .arg(extra.text.size() > kExtraFieldShownLength
                                           ? extra.text.left(kExtraFieldShownLength) + QStringLiteral("...")
                                           : extra.text));
            });
        });
        if (extraFields > kExtraFieldBoxes) {
            steps(114, [&] {
                throw Failure(QStringLiteral("%1 more fields of the stored list with no column to go to were left out.")
                                  .arg(extraFields - kExtraFieldBoxes));
            });
        }
    });
    for (const ListEntry &entry : std::as_const(restored)) {
        QTreeWidgetItem *row = nullptr;
        steps(114, [&] { row = appendRow(entry.dueBy); });
        steps(114, [&] { setCell(row, ProjectColumn, entry.project); });
        steps(114, [&] { setCell(row, NotesColumn, entry.notes); });
        steps(114, [&] { setCell(row, DoneColumn, entry.done); });
    }

    bool installed = true;
    steps(116, [&] { installed = m_services.isInstalled(); });
    if (!installed) {
        // The check has shown its box: the program ends without this window
        // and without its closing step.
        m_closingSuppressed = true;
        return;
    }
    m_startUpCompleted = true;
}

void Form1::closeEvent(QCloseEvent *event)
{
    // The close is never cancelled.
    event->accept();
    if (m_closingSuppressed)
        return;
    ListView1->commitOpenEditor();
    Form_QueryUnload();
    Form_Unload();
}

void Form1::Form_QueryUnload()
{
    Steps steps(QStringLiteral("Form1.Form_QueryUnload"));
    storeChangedList(steps, 100, 102);
}

// The list is written at every change, in the form the closing step writes,
// so that a program killed or crashed loses nothing. A list that could not
// be built is not written: the stored list is better than an empty or
// partial one. A write that fails is reported once a run, not at every
// later change.
void Form1::storeChangedList(Steps &steps, int buildStep, int writeStep)
{
    // After the end of the program (or a start-up that ended it) nothing
    // more is written.
    if (m_closingSuppressed)
        return;
    QString stored;
    if (!steps(buildStep, [&] { stored = encodeEntryList(entries()); }))
        return;
    try {
        storeSetting(QStringLiteral("ToDo"), stored);
    } catch (const Failure &failure) {
        if (m_listWriteFailureReported)
            return;
        m_listWriteFailureReported = true;
        steps(writeStep, [&] { throw failure; });
    }
}

void Form1::Form_Unload()
{
    m_closingSuppressed = true;
    m_services.endProgram();
}

void Form1::storeList()
{
    storeSetting(QStringLiteral("ToDo"), encodeEntryList(entries()));
}

// ---------------------------------------------------------------------------
// Header fields

void Form1::dtpDate_Change(QDate date)
{
    saveSetting(QStringLiteral("dtpDate"), generalDateText(QDateTime(date, QTime(0, 0))));
}

void Form1::txtName_Change(const QString &text)
{
    saveSetting(QStringLiteral("txtName"), text);
}

void Form1::txtProName_Change(const QString &text)
{
    saveSetting(QStringLiteral("txtProName"), text);
}

QString Form1::completedBy() const
{
    return txtName->text();
}

QString Form1::projectName() const
{
    return txtProName->text();
}

QDate Form1::deadline() const
{
    return dtpDate->date();
}

QList<ListEntry> Form1::entries() const
{
    QList<ListEntry> list;
    const int count = entryCount();
    list.reserve(count);
    for (int i = 0; i < count; ++i)
        list.append(entry(i));
    return list;
}

int Form1::entryCount() const
{
    return ListView1->topLevelItemCount();
}

ListEntry Form1::entry(int index) const
{
    const QTreeWidgetItem *row = ListView1->topLevelItem(index);
    if (!row)
        throw Failure(QStringLiteral("The list has no entry %1.").arg(index + 1));
    return {row->text(DueByColumn), row->text(ProjectColumn), row->text(NotesColumn), row->text(DoneColumn)};
}

void Form1::setBusyPointer(bool busy)
{
    setCursor(busy ? Qt::WaitCursor : Qt::ArrowCursor);
}

void Form1::setTemplateCommand(std::function<void()> command)
{
    m_templateCommand = std::move(command);
}

// ---------------------------------------------------------------------------
// The list and its current row

QTreeWidgetItem *Form1::appendRow(const QString &dueBy)
{
    QTreeWidgetItem *row = EntryListView::newRow({dueBy, {}, {}, {}});
    ListView1->addTopLevelItem(row);
    keepCurrentRow();
    return row;
}

void Form1::keepCurrentRow()
{
    quorbel::keepCurrentRow(*ListView1);
}

QList<ListEntry> Form1::entriesFrom(int first) const
{
    QList<ListEntry> list;
    for (int row = first; row < entryCount(); ++row)
        list.append(m_rows->rowEntry(row));
    return list;
}

int Form1::currentRow() const
{
    if (m_services.currentRow)
        return m_services.currentRow();
    const QList<QTreeWidgetItem *> selected = ListView1->selectedItems();
    return selected.isEmpty() ? -1 : ListView1->indexOfTopLevelItem(selected.constFirst());
}

QTreeWidgetItem *Form1::requireCurrentRow() const
{
    const int row = currentRow();
    QTreeWidgetItem *item = row >= 0 ? ListView1->topLevelItem(row) : nullptr;
    if (!item)
        throw Failure(QStringLiteral("No entry of the list is selected."));
    return item;
}

// ---------------------------------------------------------------------------
// Commands

void Form1::PushButton1_Click()
{
    Steps steps(QStringLiteral("Form1.PushButton1_Click"));
    const int firstNew = entryCount();
    QTreeWidgetItem *row = nullptr;
    steps(100, [&] { row = appendRow(txtDate->text()); });
    steps(102, [&] { setCell(row, ProjectColumn, txtProj->text()); });
    steps(104, [&] { setCell(row, NotesColumn, txtNotes->text()); });
    steps(106, [&] { setCell(row, DoneColumn, Check1->isChecked() ? kDoneMark : QString()); });
    steps(108, [&] { txtDate->clear(); });
    steps(110, [&] { txtProj->clear(); });
    steps(112, [&] { txtNotes->clear(); });
    recordMade(new InsertEntries(*m_rows, firstNew, entriesFrom(firstNew)));
    storeChangedList(steps, 114, 114);
}

void Form1::PushButton2_Click()
{
    Steps steps(QStringLiteral("Form1.PushButton2_Click"));
    if (steps.test(100, [&] { return ListView1->topLevelItemCount() == 0; }))
        return;
    const int countBefore = entryCount();
    const int current = currentRow();
    const ListEntry removed = m_rows->rowEntry(current);
    steps(102, [&] { delete ListView1->takeTopLevelItem(ListView1->indexOfTopLevelItem(requireCurrentRow())); });
    keepCurrentRow();
    if (entryCount() < countBefore)
        recordMade(new RemoveEntries(*m_rows, current, {removed}));
    storeChangedList(steps, 104, 104);
}

void Form1::PushButton3_Click()
{
    Steps steps(QStringLiteral("Form1.PushButton3_Click"));
    steps(100, [&] { messageBox(kHelpText); });
}

void Form1::PushButton5_Click()
{
    Steps steps(QStringLiteral("Form1.PushButton5_Click"));
    if (steps.test(100, [&] { return ListView1->topLevelItemCount() == 0; }))
        return;
    const int current = currentRow();
    const QString doneBefore = m_rows->rowEntry(current).done;
    if (steps.test(102, [&] { return requireCurrentRow()->text(DoneColumn) == kDoneMark; }))
        steps(104, [&] { requireCurrentRow()->setText(DoneColumn, QString()); });
    else
        steps(106, [&] { requireCurrentRow()->setText(DoneColumn, kDoneMark); });
    if (current >= 0 && current < entryCount())
        recordMade(new SetEntryField(*m_rows, current, EntryField::Done, doneBefore, m_rows->rowEntry(current).done));
    storeChangedList(steps, 108, 108);
}

void Form1::PushButton6_Click()
{
    // A cell still being edited is part of the list the command reads.
    ListView1->commitOpenEditor();
    if (m_templateCommand)
        m_templateCommand();
}

void Form1::PushButton7_Click()
{
    Steps steps(QStringLiteral("Form1.PushButton7_Click"));
    const HeaderValues headerBefore = m_rows->headerValues();
    const int firstNew = entryCount();
    QTreeWidgetItem *row = nullptr;
    steps(100, [&] { dtpDate->setDate(today().addDays(21)); });
    steps(102, [&] { txtName->setText(QStringLiteral("Me")); });
    steps(104, [&] { txtProName->setText(QStringLiteral("Development project")); });
    steps(106, [&] { txtDate->setText(shortDateText(today().addDays(-3))); });
    steps(108, [&] { txtProj->setText(QStringLiteral("Research")); });
    steps(110, [&] { txtNotes->setText(QStringLiteral("Completed in Time")); });
    steps(112, [&] { Check1->setChecked(true); });
    steps(114, [&] { row = appendRow(txtDate->text()); });
    steps(116, [&] { setCell(row, ProjectColumn, txtProj->text()); });
    steps(118, [&] { setCell(row, NotesColumn, txtNotes->text()); });
    steps(120, [&] { setCell(row, DoneColumn, Check1->isChecked() ? kDoneMark : QString()); });
    row = nullptr;
    steps(122, [&] { txtDate->setText(shortDateText(today().addDays(10))); });
    steps(124, [&] { txtProj->setText(QStringLiteral("Draft presenatation")); });
    steps(126, [&] { txtNotes->setText(QStringLiteral("In process")); });
    steps(128, [&] { Check1->setChecked(false); });
    steps(130, [&] { row = appendRow(txtDate->text()); });
    steps(132, [&] { setCell(row, ProjectColumn, txtProj->text()); });
    steps(134, [&] { setCell(row, NotesColumn, txtNotes->text()); });
    steps(136, [&] { setCell(row, DoneColumn, Check1->isChecked() ? kDoneMark : QString()); });
    recordMade(new LoadSample(*m_rows, firstNew, entriesFrom(firstNew), headerBefore, m_rows->headerValues()));
    storeChangedList(steps, 138, 138);
}

} // namespace quorbel

namespace quorbel {

// ---------------------------------------------------------------------------
// Undo, redo, edits in place, moves and the sort

void Form1::recordMade(ListChange *change)
{
    std::unique_ptr<ListChange> made(change);
    if (made->isObsolete())
        return;
    made->setAlreadyMade();
    m_undoStack->push(made.release());
}

bool Form1::makeChange(Steps &steps, int step, ListChange *change)
{
    std::unique_ptr<ListChange> owned(change);
    if (owned->isObsolete())
        return false;
    return steps(step, [&] { m_undoStack->push(owned.release()); });
}

void Form1::mnuUndo_Click()
{
    Steps steps(QStringLiteral("Form1.mnuUndo_Click"));
    if (!m_undoStack->canUndo())
        return;
    steps(100, [&] { m_undoStack->undo(); });
    storeChangedList(steps, 102, 102);
}

void Form1::mnuRedo_Click()
{
    Steps steps(QStringLiteral("Form1.mnuRedo_Click"));
    if (!m_undoStack->canRedo())
        return;
    steps(100, [&] { m_undoStack->redo(); });
    storeChangedList(steps, 102, 102);
}

void Form1::mnuEdit_Click()
{
    ListView1->setFocus(Qt::OtherFocusReason);
    ListView1->editCurrentCell();
}

void Form1::moveCurrentRowBy(const QString &location, int offset)
{
    Steps steps(location);
    const int from = currentRow();
    const int to = from + offset;
    if (from < 0 || from >= entryCount() || to < 0 || to >= entryCount())
        return;
    if (makeChange(steps, 100, new MoveEntry(*m_rows, from, to)))
        storeChangedList(steps, 102, 102);
}

void Form1::mnuMoveUp_Click()
{
    moveCurrentRowBy(QStringLiteral("Form1.mnuMoveUp_Click"), -1);
}

void Form1::mnuMoveDown_Click()
{
    moveCurrentRowBy(QStringLiteral("Form1.mnuMoveDown_Click"), 1);
}

void Form1::mnuSortByDueDate_Click()
{
    Steps steps(QStringLiteral("Form1.mnuSortByDueDate_Click"));
    if (makeChange(steps, 100, new SortByDueDate(*m_rows)))
        storeChangedList(steps, 102, 102);
}

void Form1::ListView1_AfterLabelEdit(int row, EntryField field, const QString &text)
{
    Steps steps(QStringLiteral("Form1.ListView1_AfterLabelEdit"));
    if (row < 0 || row >= entryCount())
        return;
    const QString before = fieldText(m_rows->rowEntry(row), field);
    if (makeChange(steps, 100, new SetEntryField(*m_rows, row, field, before, text)))
        storeChangedList(steps, 102, 102);
}

void Form1::ListView1_OLEDragDrop(int from, int before)
{
    Steps steps(QStringLiteral("Form1.ListView1_OLEDragDrop"));
    if (from < 0 || from >= entryCount() || before < 0 || before > entryCount())
        return;
    // The row is taken out first: a place below it is one row higher then.
    const int to = before > from ? before - 1 : before;
    if (makeChange(steps, 100, new MoveEntry(*m_rows, from, to)))
        storeChangedList(steps, 102, 102);
}

void Form1::ListView1_DoneToggle(int row)
{
    if (row == currentRow())
        PushButton5_Click();
}

} // namespace quorbel
