#include "app/RememberingChooser.h"

#include <filesystem>
#include <system_error>

#include "app/WindowState.h"
#include "app/settings/ProgramDirectory.h"

namespace orvex {

bool CRememberingChooser::ChooseOpen(const SRequest& request, std::string& path) {
    return Choose(request, false, path);
}

bool CRememberingChooser::ChooseSave(const SRequest& request, std::string& path) {
    return Choose(request, true, path);
}

std::string CRememberingChooser::StartFolder(EKind kind) const {
    const std::string& remembered = m_state.Folder(kind);
    std::error_code error;
    if (!remembered.empty() && std::filesystem::is_directory(remembered, error)) {
        return remembered;
    }
    const std::string home = CProgramDirectory::HomeFolder();
    return home.empty() ? "/" : home;
}

bool CRememberingChooser::Choose(const SRequest& request, bool save, std::string& path) {
    SRequest located = request;
    located.folder = StartFolder(request.kind);
    IFileChooser& inner = m_inner();
    if (!(save ? inner.ChooseSave(located, path) : inner.ChooseOpen(located, path))) {
        return false;
    }
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (!folder.empty() && folder.front() == '/') {
        m_state.SetFolder(request.kind, folder);
    }
    return true;
}

}  // namespace orvex
