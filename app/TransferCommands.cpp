#include "app/TransferCommands.h"

#include <algorithm>

#include "app/TransferHost.h"
#include "contact/ContactFields.h"
#include "db/BookHistory.h"
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

CTransferCommands::CTransferCommands(ITransferHost& host) : m_host(host) {}

CTransferCommands::~CTransferCommands() = default;

CCommProgressDlg& CTransferCommands::Progress() {
    if (!m_progress) {
        m_progress = std::make_unique<CCommProgressDlg>(m_host.Device().Link(),
                                                        m_host.MessageTarget(), m_host.Window());
    }
    return *m_progress;
}

void CTransferCommands::ShowProblem(const std::string& text) {
    m_host.Device().Errors().Problem(text);
}

CTransfer& CTransferCommands::Transfer() {
    return m_host.Device().Link().Transfer();
}

void CTransferCommands::End(EOutcome outcome) {
    if (outcome == EOutcome::kCompleted) {
        // Its text names the transfer, so it comes while the phase still says which.
        Progress().Final();
    }
    m_rows.reset();
    m_working.reset();
    if (m_progress) {
        m_progress->Close();
    }
    Transfer().End();
    m_host.SetBusy(false);
}

// --- Commands -------------------------------------------------------------------------------

void CTransferCommands::OnDownload() {
    Begin(true);
}

void CTransferCommands::OnUpload() {
    Begin(false);
}

void CTransferCommands::Begin(bool download) {
    CDeviceTransfer& device = m_host.Device();
    if (!LinkState().devicePresent) {
        device.Errors().Error304(device.Link().WhyAbsent());
        return;
    }
    const int answer = download ? device.Errors().AskDownload() : device.Errors().AskUpload();
    if (answer != IDYES) {
        return;
    }
    // The status request goes first; its reply leads to the open request.
    m_host.MessageTarget().SendMessage(kMsgBuildStatus, 0, 0);
    device.Link().SetSendPending(true);
    Transfer().Enter(download ? CTransfer::EPhase::kDownload : CTransfer::EPhase::kUploadRows);
    m_host.SetBusy(true);
}

void CTransferCommands::OnOpenAnswered(intptr_t rejected) {
    const bool download = Transfer().Is(CTransfer::EPhase::kDownload);
    if (!download && !Transfer().Is(CTransfer::EPhase::kUploadRows)) {
        return;
    }
    if (rejected == 1) {
        End(EOutcome::kRefused);
        m_host.Device().Errors().Error305();
        return;
    }
    if (download) {
        StartDownload();
    } else {
        StartUpload();
    }
}

void CTransferCommands::OnFailure(int /*w*/, int s) {
    const bool stopped = s == kFailureStopped;
    switch (Transfer().Phase()) {
        case CTransfer::EPhase::kNone:
            break;
        case CTransfer::EPhase::kDownload:
            AbortDownload(stopped);
            break;
        case CTransfer::EPhase::kUploadRows:
        case CTransfer::EPhase::kBetweenPhases:
        case CTransfer::EPhase::kUploadGroups:
            AbortUpload(stopped);
            break;
    }
}

// --- Download -------------------------------------------------------------------------------

void CTransferCommands::StartDownload() {
    CDeviceTransfer& device = m_host.Device();
    const int total = device.DevicePersonalCount() + device.DeviceGroupCount();
    if (total == 0) {
        End(EOutcome::kRefused);
        device.Errors().Error306();
        return;
    }
    Transfer().Expect(total);

    // Nothing is deleted before the book is kept in the history, the safety copy is on disk and
    // the transaction is open.
    CADODatabase& database = m_host.Database();
    std::string error;
    if (!m_host.History().Keep(database, CBookHistory::kDownload, "", error)) {
        End(EOutcome::kRefused);
        device.Errors().Error309(error);
        return;
    }
    m_safety = std::make_unique<CSafetyCopy>(m_host.DatabasePath());
    if (!m_safety->Make(database, error)) {
        m_safety.reset();
        End(EOutcome::kRefused);
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
        End(EOutcome::kRefused);
        device.Errors().Error309("The contacts table of " + m_host.DatabasePath() +
                                 " could not be emptied: " + reason);
        return;
    }
    m_storeFailed = false;
    device.PrepareRecordRequest();
    Progress().Show();
}

void CTransferCommands::OnRecord() {
    if (!Transfer().Is(CTransfer::EPhase::kDownload) || !m_working) {
        return;
    }
    if (!StoreRecord()) {
        FailWhileStoring("A contact from the device could not be stored");
        return;
    }
    Progress().Step();
    if (Transfer().Finished()) {
        FinishDownload();
    }
}

bool CTransferCommands::StoreRecord() {
    CDeviceTransfer& device = m_host.Device();
    if (device.ReceivedPersonal()) {
        device.DecodePersonal();
        return StorePersonal();
    }
    const int counter = Transfer().GroupCounter();
    // A device that sends more groups than the slots hold has the extra ones left out.
    if (!device.DecodeGroup(counter)) {
        return true;
    }
    Transfer().SetGroupCounter(counter + 1);
    return StoreGroup(device.Slot(counter));
}

bool CTransferCommands::StorePersonal() {
    CContactRecord& record = m_host.Device().Record();
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
    const CTransfer& transfer = Transfer();
    for (int g = 0; g < transfer.GroupCounter(); ++g) {
        const SGroupSlot& slot = transfer.Slot(g);
        for (int m = 0; m < slot.count; ++m) {
            const SGroupMember& member = slot.members[static_cast<size_t>(m)];
            const F::SAddressKind* kind = F::AddressKind(member.kind);
            if (!kind) {
                continue;
            }
            // Only a personal row can be a member, though a group may carry the same number.
            CADORecordset row(&m_host.Database());
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
    CADODatabase& database = m_host.Database();
    if (m_host.Device().DeviceGroupCount() > 0 && !RebuildGroupLists()) {
        FailWhileStoring("The groups of the contacts could not be stored");
        return;
    }
    m_working.reset();
    if (!database.CommitTrans()) {
        FailWhileStoring("The downloaded contacts could not be written to disk");
        return;
    }
    m_transaction = false;
    m_host.ReloadContactsView(0);
    std::string error;
    if (m_safety && !m_safety->Discard(error)) {
        ShowProblem(error);
    }
    m_safety.reset();
    End(EOutcome::kCompleted);
}

// A record that cannot be stored ends the download as a stop from the PC's side would, so
// the device is left alone; the user still learns that the download failed.
void CTransferCommands::FailWhileStoring(const std::string& what) {
    m_storeFailed = true;
    m_storeFailure =
        what + " in " + m_host.DatabasePath() + ": " + m_host.Database().GetErrorDescription();
    m_host.MessageTarget().SendMessage(kMsgFailure, 0, kFailureStopped);
}

void CTransferCommands::AbortDownload(bool stopped) {
    const bool failed = !stopped || m_storeFailed;
    const std::string cause = stopped && m_storeFailed ? m_storeFailure : std::string();
    m_storeFailure.clear();
    m_storeFailed = false;
    // The window goes first: putting the file back may end the program (Error 202).
    End(stopped ? EOutcome::kStopped : EOutcome::kFailed);
    if (m_transaction) {
        m_host.Database().RollbackTrans();
        m_transaction = false;
    }
    bool open = true;
    if (m_safety) {
        open = m_host.RestoreFromSafetyCopy(*m_safety);
        m_safety.reset();
    }
    if (open) {
        m_host.ReloadContactsView(0);
    }
    if (failed) {
        // A failure of the PC's own (a full disk) says so; the link's failures speak for
        // themselves.
        m_host.Device().Errors().Error309(cause);
    }
}

// --- Upload ---------------------------------------------------------------------------------

void CTransferCommands::StartUpload() {
    CDeviceTransfer& device = m_host.Device();
    CADORecordset personal(&m_host.Database());
    const int personalCount =
        personal.Open(CContactsTable::kSelectPersonal, CADORecordset::openQuery)
            ? personal.RowCount() & 0xFFFF
            : 0;
    if (device.PcRowCount() == 0) {
        End(EOutcome::kRefused);
        device.Errors().Error307();
        return;
    }
    if (personalCount > device.MaxPersonal()) {
        End(EOutcome::kRefused);
        device.Errors().Error308(device.MaxPersonal());
        return;
    }
    Transfer().Expect(device.PcRowCount());
    Transfer().SetGroupCounter(0);
    device.PrepareUploadStart();
    m_rows = std::make_unique<CADORecordset>(&m_host.Database());
    if (m_rows->Open(CContactsTable::kTable, CADORecordset::openTable)) {
        m_rows->SortBy(CContactsTable::kSortByName);
        m_rows->MoveFirst();
    }
    Progress().Show();
}

bool CTransferCommands::ReadPersonalRow(CADORecordset& row) {
    CContactRecord& record = m_host.Device().Record();
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
    CADORecordset members(&m_host.Database());
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
}

void CTransferCommands::OnNextRow() {
    CDeviceTransfer& device = m_host.Device();
    CTransfer& transfer = Transfer();
    if (!transfer.Is(CTransfer::EPhase::kUploadRows) || !m_rows) {
        return;
    }
    if (transfer.Finished()) {
        transfer.SetGroupCount(std::min(transfer.GroupCounter(), CTransfer::kGroupSlots));
        transfer.SetGroupCounter(0);
        m_rows.reset();
        if (transfer.GroupCount() == 0) {
            End(EOutcome::kCompleted);
        } else {
            transfer.Enter(CTransfer::EPhase::kBetweenPhases);
        }
        return;
    }
    CADORecordset& rows = *m_rows;
    int group = 0;
    rows.ReadInt(F::Name(F::kIsGroup), group);
    if (group == 0) {
        ReadPersonalRow(rows);
        device.BuildPersonalFrame();
        Progress().Step();
    } else {
        // Past the twentieth group the row is still sent, from a slot of its own, but only
        // the groups the slots hold follow in the second phase.
        const int counter = transfer.GroupCounter();
        SGroupSlot spare;
        SGroupSlot& slot = counter < CTransfer::kGroupSlots ? transfer.Slot(counter) : spare;
        slot = SGroupSlot();
        rows.ReadInt(F::Name(F::kId), slot.iCID);
        rows.ReadInt(F::Name(F::kEntryIndex), slot.iEIdx);
        rows.ReadText(F::Name(F::kFirstName), slot.name);
        CollectMembers(slot);
        device.BuildGroupRowFrame(slot);
        transfer.SetGroupCounter(counter + 1);
    }
    if (!rows.IsEOF()) {
        rows.MoveNext();
    }
}

void CTransferCommands::OnRowsDone() {
    CTransfer& transfer = Transfer();
    if (!transfer.Is(CTransfer::EPhase::kBetweenPhases)) {
        return;
    }
    CADORecordset groups(&m_host.Database());
    int count = groups.Open(CContactsTable::kSelectGroups, CADORecordset::openQuery)
                    ? groups.RowCount()
                    : 0;
    count = std::min(count, transfer.GroupCount());
    transfer.SetGroupCount(count);
    if (count == 0) {
        End(EOutcome::kCompleted);
        return;
    }
    m_host.Device().PrepareGroupStart(count);
    transfer.Expect(count);
    transfer.Enter(CTransfer::EPhase::kUploadGroups);
}

void CTransferCommands::OnNextGroup() {
    CTransfer& transfer = Transfer();
    if (!transfer.Is(CTransfer::EPhase::kUploadGroups)) {
        return;
    }
    if (transfer.Finished()) {
        End(EOutcome::kCompleted);
        return;
    }
    const int counter = transfer.GroupCounter();
    m_host.Device().BuildGroupFrame(counter);
    transfer.SetGroupCounter(counter + 1);
    Progress().Step();
}

void CTransferCommands::AbortUpload(bool stopped) {
    End(stopped ? EOutcome::kStopped : EOutcome::kFailed);
    if (!stopped) {
        m_host.Device().Errors().Error310();
    }
}

}  // namespace orvex
