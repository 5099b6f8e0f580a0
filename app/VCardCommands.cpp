#include "app/VCardCommands.h"

#include <filesystem>

#include "app/FileChooser.h"
#include "app/MainFrame.h"
#include "app/VCardExport.h"
#include "db/SafetyCopy.h"
#include "db/Win1252.h"
#include "link/ErrorReport.h"
#include "link/MessageBox.h"
#include "ui/VCardPreviewDlg.h"

namespace orvex {

namespace {

using F = CContactFields;

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString Count(int n, const char* one, const char* many) {
    return QString::number(n) + " " + (n == 1 ? one : many);
}

QString FromBook(const std::string& win1252) {
    return QString::fromStdString(CWin1252::ToUtf8(win1252));
}

}  // namespace

void CVCardCommands::Tell(const std::string& text) {
    CErrorReport::MessageBox().Report("Orvex Manager", text);
}

void CVCardCommands::OnExport() {
    std::string path;
    if (!m_frame.FileChooser().ChooseFile(true, "Export vCard", IFileChooser::EKind::kVCard, "vcf",
                                          CVCardExport::kFileFilter, path)) {
        return;
    }
    std::string error;
    int count = 0;
    if (!CVCardExport::ExportContacts(m_frame.Database(), path, EVCardVersion::kV30, count,
                                      error)) {
        Tell(error);
    }
}

SVCardPreview CVCardCommands::PreviewOf(const CVCardImportPlan& plan, const std::string& fileName) {
    SVCardPreview preview;
    preview.counts.push_back(Count(static_cast<int>(plan.CardCount()), "card", "cards") +
                             " read from " + QString::fromStdString(fileName));
    preview.counts.push_back(Count(plan.ToStore(), "contact", "contacts") + " to store, " +
                             Count(plan.Duplicates(), "duplicate", "duplicates") +
                             " of contacts there");
    preview.counts.push_back(Count(plan.Changed(), "value", "values") + " changed to fit, " +
                             QString::number(plan.LeftOut()) + " left out, " +
                             Count(plan.Ignored(), "other property", "other properties") +
                             " not taken");
    preview.cards.reserve(plan.Contacts().size());
    for (const SPlannedContact& contact : plan.Contacts()) {
        SVCardPreviewCard card;
        card.number = contact.number;
        card.line = contact.line;
        card.name =
            (FromBook(contact.texts[F::kFirstName]) + " " + FromBook(contact.texts[F::kLastName]))
                .trimmed();
        QStringList stored;
        for (const auto& kind : F::kAddressKinds) {
            const std::string& address = contact.texts[kind.address];
            if (!address.empty()) {
                stored << FromBook(address) +
                              (kind.Number() == contact.byDefault ? " (default)" : "");
            }
        }
        int phones = 0;
        for (const F::EColumn c : {F::kHomePhone, F::kWorkPhone, F::kMobilePhone, F::kFax}) {
            phones += contact.texts[c].empty() ? 0 : 1;
        }
        if (phones > 0) {
            stored << QString("%1 phone%2").arg(phones).arg(phones == 1 ? "" : "s");
        }
        if (!contact.texts[F::kCompany].empty()) {
            stored << FromBook(contact.texts[F::kCompany]);
        }
        QStringList groups;
        for (const auto& list : contact.groups) {
            for (const size_t g : list) {
                const QString name = FromBook(plan.Groups()[g].name);
                if (!groups.contains(name)) {
                    groups << name;
                }
            }
        }
        if (!groups.isEmpty()) {
            stored << "groups: " + groups.join(", ");
        }
        card.stored = stored.join("; ");
        card.duplicate = contact.duplicate;
        card.skipped = contact.skipped;
        for (const SFitProblem& p : contact.problems) {
            card.problems.push_back({Q(p.field), Q(p.value), Q(p.proposal), Q(p.reason)});
        }
        preview.cards.push_back(std::move(card));
    }
    return preview;
}

bool CVCardCommands::StorePlan(CVCardImportPlan& plan, const std::string& path,
                               std::string& error) {
    CADODatabase& database = m_frame.Database();
    if (!m_frame.History().Keep(database, CBookHistory::kImport,
                                std::filesystem::path(path).filename().string(), error)) {
        return false;
    }
    CSafetyCopy copy(m_frame.DatabasePath());
    if (!copy.Make(database, error)) {
        return false;
    }
    bool ok = database.BeginTrans();
    if (!ok) {
        error = database.GetErrorDescription();
    }
    if (ok && !plan.Store(database, error)) {
        database.RollbackTrans();
        ok = false;
    } else if (ok && !database.CommitTrans()) {
        error = database.GetErrorDescription();
        database.RollbackTrans();
        ok = false;
    }
    if (ok) {
        std::string ignored;
        copy.Discard(ignored);
        return true;
    }
    // The transaction's rollback is enough unless the file itself went wrong; the copy is put
    // back all the same, so that nothing half-written stays.
    m_frame.RestoreFromSafetyCopy(copy);
    return false;
}

void CVCardCommands::OnImport() {
    std::string path;
    if (!m_frame.FileChooser().ChooseFile(false, "Import vCard", IFileChooser::EKind::kVCard, "vcf",
                                          CVCardExport::kFileFilter, path)) {
        return;
    }
    const std::string fileName = std::filesystem::path(path).filename().string();
    CVCardImportPlan plan;
    std::string error;
    if (!plan.Read(path, error)) {
        Tell("The file " + path + " could not be read as vCard: " + error);
        return;
    }
    std::string buildError;
    auto build = [&](bool replace, bool keep) {
        if (!plan.Build(m_frame.Database(), replace, keep, buildError)) {
            return SVCardPreview{
                {}, {QString::fromStdString("The contacts could not be read: " + buildError)}};
        }
        return PreviewOf(plan, fileName);
    };
    bool keep = false;
    int choice = kCancel;
    if (m_previewer) {
        choice = m_previewer(fileName, build, keep);
    } else {
        CVCardPreviewDlg dialog(QString::fromStdString(fileName), build, &m_frame);
        m_frame.Dialogs().Run(dialog);
        choice = dialog.Choice() == CVCardPreviewDlg::EChoice::kAdd       ? kAdd
                 : dialog.Choice() == CVCardPreviewDlg::EChoice::kReplace ? kReplace
                                                                          : kCancel;
        keep = dialog.KeepDuplicates();
    }
    if (choice == kCancel) {
        return;
    }
    // The plan is made again for the choice, against the book as it is now.
    if (!plan.Build(m_frame.Database(), choice == kReplace, keep, error)) {
        Tell("The contacts could not be read: " + error);
        return;
    }
    if (plan.ToStore() == 0 && choice == kAdd) {
        return;  // every card is skipped: the book stays exactly as it is
    }
    if (!StorePlan(plan, path, error)) {
        Tell("The contacts of " + path +
             " could not be stored; the contacts are as they were: " + error);
        return;
    }
    m_frame.ReloadContactsView(0);
}

}  // namespace orvex
