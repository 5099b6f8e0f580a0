#include "app/TransferCommands.h"

#include <algorithm>

#include "app/MainFrame.h"
#include "contact/ContactFields.h"
#include "db/ContactsTable.h"
#include "db/GroupList.h"
#include "link/DeviceTransfer.h"
#include "link/LinkCodes.h"
#include "link/LinkState.h"
#include "link/MessageBox.h"
#include "ui/CommProgressDlg.h"

namespace orvex {

namespace {

using F = CContactFields;

// The table's column of a field code of a personal entry.
const char* ColumnNameOf(int code) {
    return F::kFields[static_cast<size_t>(F::ColumnOfCode(code))].name;
}

}  // namespace

CTransferCommands::CTransferCommands(CMainFrame& frame) : m_frame(frame) {}

CTransferCommands::~CTransferCommands() = default;

CCommProgressDlg& CTransferCommands::Progress() {
    if (!m_progress) {
        m_progress = std::make_unique<CCommProgressDlg>(m_frame.Device().Link(), m_frame, &m_frame);
    }
    return *m_progress;
}

void CTransferCommands::ShowProblem(const std::string& text) {
    m_frame.Device().Errors().Problem(text);
}

// --- Commands -------------------------------------------------------------------------------

void CTransferCommands::OnDownload() {
    Begin(true);
}

void CTransferCommands::OnUpload() {
    Begin(false);
}

void CTransferCommands::Begin(bool download) {
    CDeviceTransfer& device = m_frame.Device();
    if (!LinkState().devicePresent) {
        device.Errors().Error304(device.Link().WhyAbsent());
        return;
    }
    const int answer = download ? device.Errors().AskDownload() : device.Errors().AskUpload();
    if (answer != IDYES) {
        return;
    }
    // The status request goes first; its reply leads to the open request.
    m_frame.SendMessage(kMsgBuildStatus, 0, 0);
    device.Link().SetSendPending(true);
    if (download) {
        device.Link().SetDownloading(true);
    } else {
        device.Link().SetUploading(true);
    }
    m_frame.SetBusy(true);
}

void CTransferCommands::OnOpenAnswered(intptr_t rejected) {
    CDeviceTransfer& device = m_frame.Device();
    CDeviceLink& link = device.Link();
    if (!link.Downloading() && !link.Uploading()) {
        return;
    }
    if (rejected == 1) {
        link.SetDownloading(false);
        link.SetUploading(false);
        device.SetGroupCounter(0);
        m_frame.SetBusy(false);
        device.Errors().Error305();
        return;
    }
    if (link.Downloading()) {
        StartDownload();
    } else {
        StartUpload();
    }
}

void CTransferCommands::OnFailure(int /*w*/, int s) {
    CDeviceLink& link = m_frame.Device().Link();
    const bool stopped = s == kFailureStopped;
    if (link.Downloading()) {
        AbortDownload(stopped);
    }
    // Between an upload's two phases no flag is set, but the window is still open.
    if (link.Uploading() || link.UploadingGroups() ||
        (m_frame.IsBusy() && m_progress && m_progress->IsShown())) {
        AbortUpload(stopped);
    }
}

// --- Download -------------------------------------------------------------------------------

void CTransferCommands::EndDownloadEarly() {
    CDeviceTransfer& device = m_frame.Device();
    device.Link().SetDownloading(false);
    device.SetGroupCounter(0);
    m_frame.SetBusy(false);
}

void CTransferCommands::StartDownload() {
    CDeviceTransfer& device = m_frame.Device();
    CDeviceLink& link = device.Link();
    const int total = device.DevicePersonalCount() + device.DeviceGroupCount();
    if (total == 0) {
        EndDownloadEarly();
        device.Errors().Error306();
        return;
    }
    link.SetExpectedCount(total);
    link.SetTransferredCount(0);

    // Nothing is deleted before the book is kept in the history, the safety copy is on disk and
    // the transaction is open.
    CADODatabase& database = m_frame.Database();
    std::string error;
    if (!m_frame.History().Keep(database, CBookHistory::kDownload, "", error)) {
        EndDownloadEarly();
        device.Errors().Error309(error);
        return;
    }
    m_safety = std::make_unique<CSafetyCopy>(m_frame.DatabasePath());
    if (!m_safety->Make(database, error)) {
        m_safety.reset();
        EndDownloadEarly();
        device.Errors().Error309(error);
        return;
    }
    m_transaction = database.BeginTrans();
    m_working = std::make_unique<CADORecordset>(&database);
    if (!m_transaction || !database.Execute(CContactsTable::kDeleteAll) ||
        !m_working->Open(CContactsTable::kTable, CADORecordset::openTable)) {
        const std::string reason = database.GetErrorDescription();
        m_working.reset();
        if (m_transaction) {
            database.RollbackTrans();
            m_transaction = false;
        }
        std::string ignored;
        m_safety->Discard(ignored);
        m_safety.reset();
        EndDownloadEarly();
        device.Errors().Error309("The contacts table of " + m_frame.DatabasePath() +
                                 " could not be emptied: " + reason);
        return;
    }
    m_storeFailed = false;
    device.PrepareRecordRequest();
    Progress().Show();
}

void CTransferCommands::OnRecord() {
    CDeviceTransfer& device = m_frame.Device();
    CDeviceLink& link = device.Link();
    if (!link.Downloading() || !m_working) {
        return;
    }
    if (!StoreRecord()) {
        FailWhileStoring("A contact from the device could not be stored");
        return;
    }
    Progress().Step();
    if (link.TransferredCount() == link.ExpectedCount()) {
        FinishDownload();
    }
}

bool CTransferCommands::StoreRecord() {
    CDeviceTransfer& device = m_frame.Device();
    if (device.ReceivedPersonal()) {
        device.DecodePersonal();
        return StorePersonal();
    }
    const int counter = device.GroupCounter();
    // A device that sends more groups than the slots hold has the extra ones left out.
    if (!device.DecodeGroup(counter)) {
        return true;
    }
    device.SetGroupCounter(counter + 1);
    return StoreGroup(device.Slot(counter));
}

bool CTransferCommands::StorePersonal() {
    CContactRecord& record = m_frame.Device().Record();
    CADORecordset& table = *m_working;
    bool ok = table.AddNew() && table.WriteInt(F::Name(F::kId), record.iCID) &&
              table.WriteInt(F::Name(F::kEntryIndex), record.iEIdx) &&
              table.WriteInt(F::Name(F::kIsGroup), 0);
    for (int code = 0; ok && code < CDeviceTransfer::kFieldCount; ++code) {
        if (code == CDeviceTransfer::kDefaultField) {
            ok = table.WriteInt(ColumnNameOf(code), record.byDefault);
        } else {
            ok = table.WriteText(ColumnNameOf(code), *CDeviceTransfer::FieldText(record, code));
        }
    }
    if (ok && table.Update()) {
        return true;
    }
    table.CancelUpdate();
    return false;
}

bool CTransferCommands::StoreGroup(const SGroupSlot& slot) {
    CADORecordset& table = *m_working;
    // A group's name is kept in the first-name column.
    if (table.AddNew() && table.WriteInt(F::Name(F::kId), slot.iCID) &&
        table.WriteInt(F::Name(F::kEntryIndex), slot.iEIdx) &&
        table.WriteInt(F::Name(F::kIsGroup), 1) &&
        table.WriteText(F::Name(F::kFirstName), slot.name) && table.Update()) {
        return true;
    }
    table.CancelUpdate();
    return false;
}

bool CTransferCommands::RebuildGroupLists() {
    CDeviceTransfer& device = m_frame.Device();
    for (int g = 0; g < device.GroupCounter(); ++g) {
        const SGroupSlot& slot = device.Slot(g);
        for (int m = 0; m < slot.count; ++m) {
            const SGroupMember& member = slot.members[static_cast<size_t>(m)];
            const F::SAddressKind* kind = F::AddressKind(member.kind);
            if (!kind) {
                continue;
            }
            // Only a personal row can be a member, though a group may carry the same number.
            CADORecordset row(&m_frame.Database());
            if (!row.Open(CContactsTable::Format(CContactsTable::kSelectPersonalById, member.iCID),
                          CADORecordset::openQuery)) {
                return false;
            }
            if (row.RowCount() == 0) {
                continue;  // no such entry: the member is left out
            }
            const char* column = F::Name(kind->groupList);
            std::string list;
            row.ReadText(column, list);
            const std::string joined =
                CGroupList::Join(list.empty() ? std::string(CGroupList::kEmpty) : list, slot.iCID);
            row.Edit();
            if (!row.WriteText(column, joined) || !row.Update()) {
                return false;
            }
        }
    }
    return true;
}

void CTransferCommands::FinishDownload() {
    CDeviceTransfer& device = m_frame.Device();
    CADODatabase& database = m_frame.Database();
    if (device.DeviceGroupCount() > 0 && !RebuildGroupLists()) {
        FailWhileStoring("The groups of the contacts could not be stored");
        return;
    }
    device.SetGroupCounter(0);
    m_working.reset();
    if (!database.CommitTrans()) {
        FailWhileStoring("The downloaded contacts could not be written to disk");
        return;
    }
    m_transaction = false;
    m_frame.ReloadContactsView(0);
    std::string error;
    if (m_safety && !m_safety->Discard(error)) {
        ShowProblem(error);
    }
    m_safety.reset();
    Progress().Final();
    Progress().Close();
    m_frame.SetBusy(false);
    device.Link().SetDownloading(false);
}

// A record that cannot be stored ends the download as a stop from the PC's side would, so
// the device is left alone; the user still learns that the download failed.
void CTransferCommands::FailWhileStoring(const std::string& what) {
    m_storeFailed = true;
    m_storeFailure =
        what + " in " + m_frame.DatabasePath() + ": " + m_frame.Database().GetErrorDescription();
    m_frame.SendMessage(kMsgFailure, 0, kFailureStopped);
}

void CTransferCommands::AbortDownload(bool stopped) {
    CDeviceTransfer& device = m_frame.Device();
    const bool failed = !stopped || m_storeFailed;
    const std::string cause = stopped && m_storeFailed ? m_storeFailure : std::string();
    m_storeFailure.clear();
    m_storeFailed = false;
    m_frame.SetBusy(false);
    device.Link().SetDownloading(false);
    device.SetGroupCounter(0);
    m_working.reset();
    // The window goes first: putting the file back may end the program (Error 202).
    Progress().Close();
    if (m_transaction) {
        m_frame.Database().RollbackTrans();
        m_transaction = false;
    }
    bool open = true;
    if (m_safety) {
        open = m_frame.RestoreFromSafetyCopy(*m_safety);
        m_safety.reset();
    }
    if (open) {
        m_frame.ReloadContactsView(0);
    }
    if (failed) {
        // A failure of the PC's own (a full disk) says so; the link's failures speak for
        // themselves.
        device.Errors().Error309(cause);
    }
}

// --- Upload ---------------------------------------------------------------------------------

void CTransferCommands::EndUploadEarly() {
    CDeviceTransfer& device = m_frame.Device();
    device.Link().SetUploading(false);
    device.SetGroupCounter(0);
    m_frame.SetBusy(false);
}

void CTransferCommands::StartUpload() {
    CDeviceTransfer& device = m_frame.Device();
    CDeviceLink& link = device.Link();
    CADORecordset personal(&m_frame.Database());
    const int personalCount =
        personal.Open(CContactsTable::kSelectPersonal, CADORecordset::openQuery)
            ? personal.RowCount() & 0xFFFF
            : 0;
    if (device.PcRowCount() == 0) {
        EndUploadEarly();
        device.Errors().Error307();
        return;
    }
    if (personalCount > device.MaxPersonal()) {
        EndUploadEarly();
        device.Errors().Error308(device.MaxPersonal());
        return;
    }
    link.SetExpectedCount(device.PcRowCount());
    link.SetTransferredCount(0);
    device.SetGroupCounter(0);
    device.PrepareUploadStart();
    CADORecordset& rows = m_frame.SecondRecordset();
    if (rows.IsOpen()) {
        rows.Close();
    }
    if (rows.Open(CContactsTable::kTable, CADORecordset::openTable)) {
        rows.SortBy(CContactsTable::kSortByName);
        rows.MoveFirst();
    }
    Progress().Show();
}

bool CTransferCommands::ReadPersonalRow(CADORecordset& row) {
    CContactRecord& record = m_frame.Device().Record();
    record = CContactRecord();
    // Every field is read even after one fails, so one bad value costs only itself.
    bool ok = row.ReadInt(F::Name(F::kId), record.iCID);
    ok = row.ReadInt(F::Name(F::kEntryIndex), record.iEIdx) && ok;
    for (int code = 0; code < CDeviceTransfer::kFieldCount; ++code) {
        if (code == CDeviceTransfer::kDefaultField) {
            ok = row.ReadInt(ColumnNameOf(code), record.byDefault) && ok;
        } else {
            ok = row.ReadText(ColumnNameOf(code), *CDeviceTransfer::FieldText(record, code)) && ok;
        }
    }
    return ok;
}

void CTransferCommands::CollectMembers(SGroupSlot& slot) {
    m_working = std::make_unique<CADORecordset>(&m_frame.Database());
    CADORecordset& members = *m_working;
    if (members.Open(CContactsTable::Format(CContactsTable::kSelectMembers, slot.iCID),
                     CADORecordset::openQuery) &&
        members.RowCount() > 0) {
        members.SortBy(CContactsTable::kSortByName);
        for (members.MoveFirst(); !members.IsEOF(); members.MoveNext()) {
            SGroupMember member;
            members.ReadInt(F::Name(F::kId), member.iCID);
            members.ReadInt(F::Name(F::kEntryIndex), member.iEIdx);
            for (const F::SAddressKind& kind : F::kAddressKinds) {
                std::string list;
                members.ReadText(F::Name(kind.groupList), list);
                if (CGroupList::Contains(list, slot.iCID)) {
                    member.kind = static_cast<uint8_t>(kind.Number());
                    slot.Add(member);  // the slot keeps ten; the device holds no more
                }
            }
        }
    }
    m_working.reset();
}

void CTransferCommands::OnNextRow() {
    CDeviceTransfer& device = m_frame.Device();
    CDeviceLink& link = device.Link();
    if (!link.Uploading()) {
        return;
    }
    CADORecordset& rows = m_frame.SecondRecordset();
    if (link.TransferredCount() == link.ExpectedCount()) {
        device.SetGroupCount(std::min(device.GroupCounter(), CDeviceTransfer::kGroupSlots));
        device.SetGroupCounter(0);
        rows.Close();
        m_working.reset();
        if (device.GroupCount() == 0) {
            Progress().Final();
            Progress().Close();
            m_frame.SetBusy(false);
        }
        link.SetUploading(false);
        return;
    }
    int group = 0;
    rows.ReadInt(F::Name(F::kIsGroup), group);
    if (group == 0) {
        ReadPersonalRow(rows);
        device.BuildPersonalFrame();
        Progress().Step();
    } else {
        // Past the twentieth group the row is still sent, from a slot of its own, but only
        // the groups the slots hold follow in the second phase.
        const int counter = device.GroupCounter();
        SGroupSlot spare;
        SGroupSlot& slot = counter < CDeviceTransfer::kGroupSlots ? device.Slot(counter) : spare;
        slot = SGroupSlot();
        rows.ReadInt(F::Name(F::kId), slot.iCID);
        rows.ReadInt(F::Name(F::kEntryIndex), slot.iEIdx);
        rows.ReadText(F::Name(F::kFirstName), slot.name);
        CollectMembers(slot);
        device.BuildGroupRowFrame(slot);
        device.SetGroupCounter(counter + 1);
    }
    if (!rows.IsEOF()) {
        rows.MoveNext();
    }
}

void CTransferCommands::OnRowsDone() {
    CDeviceTransfer& device = m_frame.Device();
    CDeviceLink& link = device.Link();
    if (device.GroupCount() <= 0 || !m_frame.IsBusy()) {
        return;
    }
    CADORecordset groups(&m_frame.Database());
    int count = groups.Open(CContactsTable::kSelectGroups, CADORecordset::openQuery)
                    ? groups.RowCount()
                    : 0;
    count = std::min(count, device.GroupCount());
    device.SetGroupCount(count);
    if (count == 0) {
        Progress().Final();
        Progress().Close();
        m_frame.SetBusy(false);
        return;
    }
    device.PrepareGroupStart(count);
    link.SetExpectedCount(count);
    link.SetTransferredCount(0);
    link.SetUploadingGroups(true);
}

void CTransferCommands::OnNextGroup() {
    CDeviceTransfer& device = m_frame.Device();
    CDeviceLink& link = device.Link();
    if (!link.UploadingGroups()) {
        return;
    }
    if (link.TransferredCount() == link.ExpectedCount()) {
        device.SetGroupCounter(0);
        m_working.reset();
        Progress().Final();
        Progress().Close();
        m_frame.SetBusy(false);
        link.SetUploadingGroups(false);
        return;
    }
    const int counter = device.GroupCounter();
    device.BuildGroupFrame(counter);
    device.SetGroupCounter(counter + 1);
    Progress().Step();
}

void CTransferCommands::AbortUpload(bool stopped) {
    CDeviceTransfer& device = m_frame.Device();
    CDeviceLink& link = device.Link();
    m_frame.SetBusy(false);
    link.SetUploading(false);
    link.SetUploadingGroups(false);
    device.SetGroupCounter(0);
    device.SetGroupCount(0);
    CADORecordset& rows = m_frame.SecondRecordset();
    if (rows.IsOpen()) {
        rows.Close();
    }
    m_working.reset();
    Progress().Close();
    if (!stopped) {
        device.Errors().Error310();
    }
}

}  // namespace orvex
