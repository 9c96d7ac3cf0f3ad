// The main window's controls: made, placed as designed (in twips), joined
// to their handlers.

#include "Form1.h"

#include "ButtonKeys.h"
#include "DeadlinePicker.h"
#include "EntryListView.h"
#include "Form1Settings.h"
#include "ListChanges.h"
#include "ListMenu.h"
#include "SelectAllLineEdit.h"
#include "Twips.h"
#include "WindowLook.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QUndoStack>

#include <algorithm>

namespace quorbel {
namespace {

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

// The header fields as "Load Sample/Example Data" and its undo set them:
// setting a field runs its change handler, which writes it to the store, as
// any other change does.
class WindowHeaderFields final : public HeaderFields {
public:
    WindowHeaderFields(QDateEdit &deadline, QLineEdit &completedBy, QLineEdit &projectName)
        : m_deadline(deadline), m_completedBy(completedBy), m_projectName(projectName)
    {
    }

    HeaderValues headerValues() const override
    {
        return {m_deadline.date(), m_completedBy.text(), m_projectName.text()};
    }

    void setHeaderValues(const HeaderValues &values) override
    {
        if (m_deadline.date() != values.deadline)
            m_deadline.setDate(values.deadline);
        if (m_completedBy.text() != values.completedBy)
            m_completedBy.setText(values.completedBy);
        if (m_projectName.text() != values.projectName)
            m_projectName.setText(values.projectName);
    }

private:
    QDateEdit &m_deadline;
    QLineEdit &m_completedBy;
    QLineEdit &m_projectName;
};

} // namespace

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

    // The list's columns and their captions come from its model.
    ListView1 = new EntryListView(m_entries, Frame2);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("To Do List Entries"));
    ListView1->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setSectionsMovable(false);
    ListView1->setColumnWidth(int(EntryField::DueBy), twipsToPixels(1000));
    ListView1->setColumnWidth(int(EntryField::Project), twipsToPixels(2300));
    ListView1->setColumnWidth(int(EntryField::Notes), twipsToPixels(2300));
    ListView1->setColumnWidth(int(EntryField::Done), twipsToPixels(1440));
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSortingEnabled(false);

    // The list's changes: edits in place, moves, undo and redo, the context
    // menu and the keys.
    m_undoStack = new QUndoStack(this);
    m_headerFields = std::make_unique<WindowHeaderFields>(*dtpDate, *txtName, *txtProName);
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

} // namespace quorbel
