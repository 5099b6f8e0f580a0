#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "db/ADORecordset.h"
#include "db/SafetyCopy.h"

namespace orvex {

class CCommProgressDlg;
class CTransfer;
class ITransferHost;
struct SGroupSlot;

// The two transfers between the PC's contacts table and the device, as the main window's
// handlers of the link's messages run them.
//
// Download (F5): status request 0xC1 -> reply 0xC2 -> open request 0xA6 -> 0x409: safety copy,
// a transaction, the table emptied, record request 0xC3 and the progress window -> one 0x40B
// per record 0xC4, each stored at once -> after the last: the group lists rebuilt from the
// group slots, the transaction committed, the safety copy deleted. A failure after the table
// was emptied rolls back and puts the safety copy back, so the PC keeps its contacts.
//
// Upload (F6): 0xC1 -> 0xC2 -> 0xA6 -> 0x409: the checks, 0xC5 and the progress window ->
// 0x40A per row: every row of the table in name order as 0xC6, the members of each group row
// collected into its slot -> 0x40C: 0xC7 with the group count -> 0x40D per group: 0xC8 with
// its members. The PC's database is only read.
//
// Where a transfer's state lives: its phase, counts and group slots in the link's CTransfer
// (the engine reads them as bytes arrive); the rows it reads or writes, the safety copy, the
// transaction and the progress window here. The commands move the phase on; End() is the one
// place a transfer ends, however it ends.
class CTransferCommands {
  public:
    explicit CTransferCommands(ITransferHost& host);
    ~CTransferCommands();

    void OnDownload();
    void OnUpload();

    // 0x409: the device answered the open request (rejected = 1: it is locked).
    void OnOpenAnswered(intptr_t rejected);
    // 0x40B: a record of a download arrived.
    void OnRecord();
    // 0x40A, 0x40C, 0x40D: the upload's next row, its second phase, its next group.
    void OnNextRow();
    void OnRowsDone();
    void OnNextGroup();
    // The transfers' part of the failure handler (0x402), after the link has been reset.
    void OnFailure(int w, int s);

    CCommProgressDlg& Progress();

  private:
    // How a transfer ended: refused before anything was sent for it, completed, stopped by
    // the user (or by the PC's own failure to store), or failed on the link.
    enum class EOutcome { kRefused, kCompleted, kStopped, kFailed };
    // The end of every transfer: the progress window's last word and close, the rows let go,
    // the phase back to None with its counts, and the window no longer busy. The reports and
    // the download's own undoing are the caller's.
    void End(EOutcome outcome);
    CTransfer& Transfer();
    // F5 and F6 alike: the device must be there and the user must agree.
    void Begin(bool download);
    void StartDownload();
    void StartUpload();
    bool StoreRecord();
    bool StorePersonal();
    bool StoreGroup(const SGroupSlot& slot);
    bool RebuildGroupLists();
    void FinishDownload();
    void AbortDownload(bool stopped);
    // `what` failed to be stored; the database's reason is added.
    void FailWhileStoring(const std::string& what);
    bool ReadPersonalRow(CADORecordset& row);
    void CollectMembers(SGroupSlot& slot);
    void AbortUpload(bool stopped);
    void ShowProblem(const std::string& text);

    ITransferHost& m_host;
    std::unique_ptr<CCommProgressDlg> m_progress;
    // The download's appending recordset.
    std::unique_ptr<CADORecordset> m_working;
    // The upload's rows, the whole table in name order.
    std::unique_ptr<CADORecordset> m_rows;
    std::unique_ptr<CSafetyCopy> m_safety;
    bool m_transaction = false;
    bool m_storeFailed = false;
    std::string m_storeFailure;  // what the user is told with Error 309
};

}  // namespace orvex
