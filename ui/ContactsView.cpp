#include "ui/ContactsView.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "contact/ContactFields.h"
#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "link/ErrorReport.h"
#include "ui/ContactEditor.h"
#include "ui/ContactPages.h"
#include "ui/ContactsColumns.h"
#include "ui/ContactsHost.h"
#include "ui/DataGrid.h"
#include "ui/DialogUnits.h"
#include "ui/PanelScrollArea.h"
#include "ui/QtText.h"
#include "ui/RowSourceModel.h"

namespace orvex {

namespace {

using V = CContactsView;
using F = CContactFields;

// An edit of the form for a column: its column name, limit and label are the column's.
constexpr V::SField Edit(int id, F::EColumn column, int labelId, int page, bool multiLine = false) {
    const SContactField& field = F::Field(column);
    return {id, field.name, field.maxLength, labelId, field.editorLabel, page, multiLine};
}

const std::array<V::SField, 15> kFields = {{
    Edit(V::kFirstName, F::kFirstName, V::kFirstNameLabel, V::kPageBasic),
    Edit(V::kLastName, F::kLastName, V::kLastNameLabel, V::kPageBasic),
    Edit(V::kWireless, F::kWireless, V::kWirelessLabel, V::kPageBasic),
    Edit(V::kWorkEmail, F::kWorkEmail, V::kWorkEmailLabel, V::kPageBasic),
    Edit(V::kHomeEmail, F::kHomeEmail, V::kHomeEmailLabel, V::kPageBasic),
    Edit(V::kHomePhone, F::kHomePhone, V::kHomePhoneLabel, V::kPageBasic),
    Edit(V::kWorkPhone, F::kWorkPhone, V::kWorkPhoneLabel, V::kPageBasic),
    Edit(V::kMobilePhone, F::kMobilePhone, V::kMobilePhoneLabel, V::kPageBasic),
    Edit(V::kFax, F::kFax, V::kFaxLabel, V::kPageBasic),
    Edit(V::kCompany, F::kCompany, V::kCompanyLabel, V::kPageAdditional),
    Edit(V::kStreet, F::kStreet, V::kStreetLabel, V::kPageAdditional, true),
    Edit(V::kCity, F::kCity, V::kCityLabel, V::kPageAdditional),
    Edit(V::kState, F::kState, V::kStateLabel, V::kPageAdditional),
    Edit(V::kZip, F::kZip, V::kZipLabel, V::kPageAdditional),
    Edit(V::kNote, F::kNote, V::kNoteLabel, V::kPageAdditional, true),
}};

// The contact is shown in field order, with the default address after the first five.
constexpr size_t kFieldsBeforeDefault = CContactPages::kFieldsBeforeDefault;

QString Q(const char* text) {
    return QString::fromLatin1(text);
}

// The form's buttons are only as wide as their captions need, not as wide as a dialog's.
void FitToCaption(QPushButton* button) {
    const int text = button->fontMetrics().horizontalAdvance(QString(button->text()).remove('&'));
    button->setMinimumWidth(text + 2 * button->fontMetrics().averageCharWidth() + 8);
}

// Puts a row of the form's buttons, each with its control number, into a layout of equal
// shares; Enter in the form presses none of them.
void AddButtons(QHBoxLayout* row, std::initializer_list<std::pair<int, QPushButton*>> buttons,
                std::map<int, QWidget*>& controls) {
    for (const auto& [id, button] : buttons) {
        button->setAutoDefault(false);
        FitToCaption(button);
        row->addWidget(button, 1);
        controls[id] = button;
    }
}

// Lays the windows from the frame down to a view out as showing them would, so that the
// view's place is known before the frame first appears: each layout or splitter on the way
// places its children.
void LayOutDownTo(QWidget* frame, QWidget* view) {
    std::vector<QWidget*> chain;
    for (QWidget* w = view->parentWidget(); w; w = w->parentWidget()) {
        chain.insert(chain.begin(), w);
        if (w == frame) {
            break;
        }
    }
    for (QWidget* w : chain) {
        if (QLayout* layout = w->layout()) {
            layout->activate();
            layout->setGeometry(w->rect());
        }
        QResizeEvent resize(w->size(), w->size());
        QCoreApplication::sendEvent(w, &resize);
    }
}

}  // namespace

const std::array<CContactsView::SField, 15>& CContactsView::Fields() {
    return kFields;
}

const CContactsView::SField* CContactsView::Field(int id) {
    for (const SField& field : kFields) {
        if (field.id == id) {
            return &field;
        }
    }
    return nullptr;
}

CContactsView::CContactsView(IContactsHost& host, QWidget* parent) : QWidget(parent), m_host(host) {
    setObjectName("contactsView");
    CreateControls();
    m_editor = std::make_unique<CContactEditor>(*this, m_host);
    // The editing lives in the editor; the buttons go straight to it.
    CContactEditor* editor = m_editor.get();
    // Toggled rather than clicked: a screen reader's Toggle action changes the button without
    // a click, and must start and end editing as a click does. The view's and the editor's own
    // changes of the button block the signal or run the handler through it.
    connect(m_edit, &QPushButton::toggled, this, [editor] { editor->OnEditClicked(); });
    connect(m_new, &QPushButton::clicked, this, [editor] { editor->OnNewClicked(); });
    connect(m_del, &QPushButton::clicked, this, [editor] { editor->OnDelClicked(); });
    connect(m_save, &QPushButton::clicked, this, [editor] { editor->OnSaveClicked(); });
    connect(m_cancel, &QPushButton::clicked, this, [editor] { editor->OnCancelClicked(); });
    for (size_t i = 0; i < m_default.size(); ++i) {
        const int id = kDefault1 + static_cast<int>(i);
        // Toggled, so that a screen reader's Toggle action works as a click does; the
        // program's own changes go through SetDefaultChecked, which keeps it quiet.
        connect(m_default[i], &QCheckBox::toggled, this,
                [editor, id] { editor->OnDefaultClicked(id); });
    }
}

CContactsView::~CContactsView() = default;

// --- Controls -------------------------------------------------------------------------------

void CContactsView::CreateControls() {
    const CDialogUnits units(font());
    m_pages = std::make_unique<CContactPages>(font(), m_controls, m_default, this);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Left: the grid over the status line.
    auto* left = new QVBoxLayout;
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    m_grid = new CDataGrid(this);
    m_grid->setObjectName("grid");
    m_grid->SetPreferredSize(QSize(units.X(232), units.Y(310) - kStatusLineHeight));
    m_grid->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_controls[kGrid] = m_grid;
    m_columns = new CContactsColumns(m_grid, this);
    // Alt+I: no other letter of the window's is I.
    m_grid->ShowFindField(Q("F&ind:"), CContactsColumns::SearchedColumns());
    left->addWidget(m_grid, 1);
    m_status = new QLabel(this);
    m_status->setObjectName("statusLine");
    m_status->setTextFormat(Qt::PlainText);
    m_status->setFixedHeight(std::max(kStatusLineHeight, m_status->fontMetrics().height() + 2));
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_controls[kStatusLine] = m_status;
    left->addWidget(m_status);
    layout->addLayout(left, 1);

    // Right: the editor panel, glued to the right edge.
    m_panel = new QWidget(this);
    m_panel->setObjectName("editorPanel");
    auto* panel = new QVBoxLayout(m_panel);
    panel->setContentsMargins(0, 0, 0, 0);
    panel->setSpacing(0);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(units.X(5), units.Y(5), units.X(5), units.Y(4));
    top->setSpacing(units.X(2));
    m_edit = new QPushButton(Q("&Edit"), m_panel);
    m_edit->setCheckable(true);
    m_new = new QPushButton(Q("&New"), m_panel);
    m_del = new QPushButton(Q("&Del"), m_panel);
    AddButtons(top, {{kEdit, m_edit}, {kNew, m_new}, {kDel, m_del}}, m_controls);
    panel->addLayout(top);

    m_tabs = new QTabWidget(m_panel);
    m_tabs->setObjectName("tabs");
    m_controls[kTabs] = m_tabs;
    m_tabs->addTab(m_pages->CreateBasicPage(), Q("Basic"));
    m_tabs->addTab(m_pages->CreateAdditionalPage(), Q("Additional Info"));
    panel->addWidget(m_tabs, 1);

    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(units.X(6), units.Y(4), units.X(5), units.Y(5));
    bottom->setSpacing(units.X(5));
    m_cancel = new QPushButton(Q("C&ancel"), m_panel);
    m_save = new QPushButton(Q("&Save"), m_panel);
    AddButtons(bottom, {{kCancel, m_cancel}, {kSave, m_save}}, m_controls);
    panel->addLayout(bottom);
    m_panel->setFixedWidth(std::max(units.X(106), m_panel->minimumSizeHint().width()));
    // The panel keeps its height and scrolls in a window too low for it.
    m_panel->setMinimumHeight(m_panel->minimumSizeHint().height());
    m_panel->setObjectName("editorForm");
    auto* scroll = new CPanelScrollArea(m_panel, this);
    scroll->setObjectName("editorPanel");
    layout->addWidget(scroll);

    // Alt and the underlined letter press them; none of the letters is the main window's
    // (File, Contacts, Communication, Help). The names are the captions without the marks.
    for (QPushButton* button : {m_edit, m_new, m_del, m_save, m_cancel}) {
        button->setAccessibleName(QString(button->text()).remove('&'));
    }
    // In the editor, Esc cancels and Enter saves (Ctrl+Enter in the note, where Enter starts
    // a new line); each only while its button is enabled.
    const std::pair<QKeySequence, QPushButton*> keys[] = {
        {QKeySequence(Qt::Key_Escape), m_cancel},
        {QKeySequence(Qt::Key_Return), m_save},
        {QKeySequence(Qt::Key_Enter), m_save},
        {QKeySequence(Qt::CTRL | Qt::Key_Return), m_save},
        {QKeySequence(Qt::CTRL | Qt::Key_Enter), m_save}};
    for (const auto& [key, button] : keys) {
        auto* shortcut = new QShortcut(key, m_panel);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isEnabled()) {
                button->click();
            }
        });
    }
    for (QCheckBox* box : m_default) {
        box->setAccessibleName(box->text());
    }

    connect(m_tabs, &QTabWidget::currentChanged, this, &CContactsView::OnTabSelChange);
    connect(m_grid, &CDataGrid::Click, this, &CContactsView::OnGridEvent);
    connect(m_grid, &CDataGrid::RowColChange, this, &CContactsView::OnGridEvent);
    connect(m_grid, &CDataGrid::ShownRowsChange, this, &CContactsView::OnGridEvent);

    SetTabOrder();
}

void CContactsView::SetTabOrder() {
    // From the top left of the form: the find field (before the table since the grid made
    // it first), the grid, the buttons above the pages, the tabs, the fields of both pages,
    // then Cancel and Save below them.
    QWidget::setTabOrder(m_grid->Table(), m_edit);
    QWidget::setTabOrder(m_edit, m_new);
    QWidget::setTabOrder(m_new, m_del);
    // The tab widget brings its tab bar along; the fields follow the bar.
    QWidget::setTabOrder(m_del, m_tabs);
    std::vector<QWidget*> order = {m_tabs->tabBar()};
    for (size_t i = 0; i < kFields.size(); ++i) {
        order.push_back(m_controls[kFields[i].id]);
        if (i + 1 == kFieldsBeforeDefault) {
            order.insert(order.end(), m_default.begin(), m_default.end());
        }
    }
    order.push_back(m_cancel);
    order.push_back(m_save);
    for (size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
}

QWidget* CContactsView::Control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QCheckBox* CContactsView::DefaultButton(int number) const {
    return F::AddressKind(number) ? m_default[static_cast<size_t>(number - 1)] : nullptr;
}

void CContactsView::SetDefaultChecked(int number, bool checked) const {
    QCheckBox* box = DefaultButton(number);
    const QSignalBlocker quiet(box);
    box->setChecked(checked);
}

QString CContactsView::FieldText(int id) const {
    return m_pages->FieldText(id);
}

void CContactsView::SetFieldText(int id, const QString& text) {
    m_pages->SetFieldText(id, text);
}

void CContactsView::SetFieldsReadOnly(bool readOnly) {
    m_pages->SetFieldsReadOnly(readOnly);
}

QString CContactsView::StatusLineText() const {
    return m_status->text();
}

// --- Operations -----------------------------------------------------------------------------

void CContactsView::InitialUpdate() {
    m_pages->SetFieldLimits();
    // The two tab pages exist with their controls since construction.
    ShowTabPage();
    m_save->setEnabled(false);
    m_cancel->setEnabled(false);

    CADORecordset& personal = m_host.PersonalRecordset();
    if (!m_host.Database().IsOpen()) {
        m_host.Errors().Error202();
        return;
    }
    if (!personal.IsOpen()) {
        m_host.Errors().Error203();
        return;
    }
    if (personal.RowCount() > 0) {
        personal.SortBy(CContactsTable::kSortByName);
    }
    BindGrid();
    ShowCurrentContact();
    ShowCounts();
    FitParentFrame();
    SetFieldsReadOnly(true);
    QWidget* frame = window();
    m_host.SetMinTrackSize(frame->width(), frame->height());
}

void CContactsView::ReloadContacts() {
    CADORecordset& personal = m_host.PersonalRecordset();
    if (personal.IsOpen()) {
        personal.Close();
    }
    if (!CContactsTable::OpenPersonal(personal)) {
        return;
    }
    BindGrid();
    ShowCounts();
    LayoutGridColumns();
    if (personal.RowCount() > 0) {
        m_grid->SetRow(m_rememberedRow);
    }
    ShowCurrentContact();
}

void CContactsView::BindGrid() {
    m_columns->Rebind([this] {
        m_grid->SetCaption(Q(kGridCaption));
        m_grid->SetDataSource(nullptr);
        m_grid->SetDataSource(m_host.PersonalRecordset().GetRecordset());
        m_grid->Refresh();
    });
}

void CContactsView::ShowCounts() {
    CADORecordset groups(&m_host.Database());
    if (groups.Open(CContactsTable::kSelectGroups, CADORecordset::openQuery)) {
        char text[32];
        std::snprintf(text, sizeof text, "P:%03d/G:%02d", m_host.PersonalRecordset().RowCount(),
                      groups.RowCount());
        m_host.SetStatusText(1, text);
    }
    groups.Close();
}

void CContactsView::ShowCurrentContact() {
    CADORecordset& personal = m_host.PersonalRecordset();
    const int count = personal.RowCount();
    // Counted as the grid shows them: narrowed by the find field, in the order clicked.
    int position = personal.Position();
    int shown = count;
    if (count > 0 && m_grid->Model()->rowCount() == count) {
        shown = m_grid->RowCount();
        position = m_grid->ShownRow(position - 1) + 1;
    }
    if (shown == 0 || position == 0) {
        // No contacts, or none found: no contact is under the cursor to show.
        m_status->clear();
        for (const SField& field : kFields) {
            SetFieldText(field.id, QString());
        }
        for (const auto& kind : F::kAddressKinds) {
            SetDefaultChecked(kind.Number(), false);
        }
        return;
    }
    char text[64];
    if (shown == 1) {
        std::snprintf(text, sizeof text, "  %d of %d Personal Contact", position, 1);
    } else {
        std::snprintf(text, sizeof text, "  %d of %d Personal Contacts", position, shown);
    }
    m_status->setText(Q(text));
    for (size_t i = 0; i < kFields.size(); ++i) {
        if (i == kFieldsBeforeDefault) {
            int byDefault = 0;
            if (personal.ReadInt(F::Name(F::kDefaultAddress), byDefault)) {
                ShowDefaultAddress(byDefault);
            }
        }
        std::string value;
        if (!personal.ReadText(kFields[i].column, value)) {
            value.clear();
        }
        SetFieldText(kFields[i].id, CQtText::ToQString(value));
    }
}

void CContactsView::ShowDefaultAddress(int byDefault) {
    // Any other stored number leaves the buttons as the previous contact had them.
    if (byDefault != 0 && !F::AddressKind(byDefault)) {
        return;
    }
    for (size_t i = 0; i < F::kAddressKinds.size(); ++i) {
        SetDefaultChecked(F::kAddressKinds[i].Number(), byDefault == F::kAddressKinds[i].Number());
    }
}

void CContactsView::ShowTabPage() {
    if (m_tabPage == kPageBasic || m_tabPage == kPageAdditional) {
        m_tabs->setCurrentIndex(m_tabPage);
    }
}

void CContactsView::OnTabSelChange(int index) {
    m_tabPage = static_cast<int16_t>(index);
    ShowTabPage();
}

void CContactsView::OnGridEvent() {
    ShowCurrentContact();
    SetFieldsReadOnly(true);
    const QSignalBlocker quiet(m_edit);
    m_edit->setChecked(false);
}

// --- Size -----------------------------------------------------------------------------------

void CContactsView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutControls();
}

void CContactsView::LayoutControls() {
    if (!m_grid || !m_tabs) {
        return;
    }
    // The layout keeps the panel at the right edge at its fixed width and gives the grid and
    // the status line under it the rest; placing it now lets the columns follow at once,
    // also while the view is hidden.
    if (QLayout* box = layout()) {
        box->setGeometry(rect());
    }
    LayoutGridColumns();
}

void CContactsView::LayoutGridColumns() {
    if (m_columns) {
        m_columns->Apply();
    }
}

QByteArray CContactsView::ColumnState() const {
    return m_columns->State();
}

void CContactsView::RestoreColumnState(const QByteArray& state) {
    m_columns->Restore(state);
}

bool CContactsView::SelectContact(int contactId) {
    const auto& rows = m_grid->Model()->Source();
    if (!rows) {
        return false;
    }
    const std::string id = std::to_string(contactId);
    for (int row = 0; row < rows->Rows(); ++row) {
        if (rows->Text(row, F::kId) != id) {
            continue;
        }
        if (m_grid->ShownRow(row) < 0) {
            m_grid->SetFindText(QString());
        }
        m_grid->SetRow(m_grid->ShownRow(row));
        m_rememberedRow = static_cast<int16_t>(std::max(0, m_grid->Row()));
        ShowCurrentContact();
        return true;
    }
    return false;
}

void CContactsView::FitParentFrame() {
    QWidget* frame = window();
    // A window that was never given a size takes the size it asks for, as showing it would.
    frame->ensurePolished();
    if (!frame->testAttribute(Qt::WA_Resized) && !frame->isVisible()) {
        frame->adjustSize();
    }
    if (frame != this) {
        FitInto(frame);
    }
    LayoutControls();
}

void CContactsView::FitInto(QWidget* frame) {
    // Let the frame lay out its parts as it will show them, then take away what it has
    // beyond the form in either direction; it never grows.
    LayOutDownTo(frame, this);
    const QSize form = sizeHint().expandedTo(minimumSizeHint());
    const QSize fit = frame->size() - size() + form;
    const QSize shrunk = frame->size().boundedTo(fit);
    if (shrunk != frame->size()) {
        frame->resize(shrunk);
        LayOutDownTo(frame, this);
    }
}

// --- Editing --------------------------------------------------------------------------------

bool CContactsView::eventFilter(QObject* watched, QEvent* event) {
    // Only a move of the focus inside the window leaves a field: a menu or another window
    // (a report's box among them) taking it for a while is no reason to check.
    if (event->type() == QEvent::FocusOut && m_editor) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            for (const SField& field : kFields) {
                if (m_controls[field.id] == watched) {
                    m_editor->OnFieldFocusLost(field.id);
                    break;
                }
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CContactsView::SetEditing(bool editing) {
    m_editor->SetEditing(editing);
}

bool CContactsView::ValidateAllFields() {
    return m_editor->ValidateAllFields();
}

void CContactsView::FixDefaultAddress() {
    m_editor->FixDefaultAddress();
}

int CContactsView::SaveContact(bool isNew) {
    return m_editor->SaveContact(isNew);
}

bool CContactsView::RenumberEntries(int contactId) {
    return m_editor->RenumberEntries(contactId);
}

}  // namespace orvex
