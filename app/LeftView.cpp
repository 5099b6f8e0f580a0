#include "app/LeftView.h"

#include <QHeaderView>
#include <QStyle>

#include "link/DeviceLink.h"
#include "link/LinkCodes.h"
#include "link/LinkState.h"
#include "link/MessageTarget.h"
#include "ui/FocusMark.h"

namespace orvex {

namespace {

constexpr int kPageRole = Qt::UserRole;

}  // namespace

CLeftView::CLeftView(QWidget* parent) : QTreeWidget(parent) {
    setObjectName("navigationTree");
    CFocusMark::Apply(this);
    setAccessibleName("Navigation");
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::currentItemChanged, this, [this] { OnSelectionChanged(); });
}

void CLeftView::InitialUpdate(CDeviceLink& link) {
    if (!m_root) {
        QStyle* s = style();
        auto add = [](QTreeWidgetItem* item, const QString& text, const QIcon& icon, int page) {
            item->setText(0, text);
            item->setIcon(0, icon);
            item->setData(0, kPageRole, page);
            return item;
        };
        m_root =
            add(new QTreeWidgetItem(this), "Orvex",
                QIcon::fromTheme("computer", s->standardIcon(QStyle::SP_ComputerIcon)), kPageRoot);
        QTreeWidgetItem* contacts =
            add(new QTreeWidgetItem(m_root), "Contacts",
                QIcon::fromTheme("folder", s->standardIcon(QStyle::SP_DirIcon)), kPageContacts);
        QTreeWidgetItem* personal =
            add(new QTreeWidgetItem(contacts), "Personal",
                QIcon::fromTheme("avatar-default", s->standardIcon(QStyle::SP_FileDialogInfoView)),
                kPagePersonal);
        add(new QTreeWidgetItem(contacts), "Groups",
            QIcon::fromTheme("system-users", s->standardIcon(QStyle::SP_FileDialogListView)),
            kPageGroups);
        // Selecting "Personal" opens its parents and sends page 2.
        setCurrentItem(personal);
        scrollToItem(personal);
        m_root->setExpanded(true);
        contacts->setExpanded(true);
    }
    link.StartLink();
}

QTreeWidgetItem* CLeftView::ItemForPage(int page) const {
    QTreeWidgetItemIterator it(const_cast<CLeftView*>(this));
    for (; *it; ++it) {
        if ((*it)->data(0, kPageRole).toInt() == page) {
            return *it;
        }
    }
    return nullptr;
}

int CLeftView::IdealWidth() const {
    return std::max(120, sizeHintForColumn(0) + 2 * frameWidth() + 4);
}

void CLeftView::OnSelectionChanged() {
    QTreeWidgetItem* item = currentItem();
    if (!item) {
        return;
    }
    if (IMessageTarget* target = LinkState().mainWindow.load()) {
        target->SendMessage(kMsgPageRequest, 0, item->data(0, kPageRole).toInt());
    }
}

}  // namespace orvex
