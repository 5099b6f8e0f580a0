#include "link/ErrorReport.h"

#include <atomic>
#include <cstdio>

namespace orvex {

namespace {

// Used until the windows install their own box: reports go to standard error, where a tool
// without windows still shows them, and prompts are declined.
class CStderrMessageBox : public IMessageBox {
  public:
    int Report(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return IDOK;
    }
    int ReportWithDetails(const std::string& caption, const std::string& text,
                          const std::string& details) override {
        std::fprintf(stderr, "%s: %s\n%s\n", caption.c_str(), text.c_str(), details.c_str());
        return IDOK;
    }
    int Prompt(const std::string&, const std::string&) override { return IDNO; }
};

CStderrMessageBox g_stderrBox;
std::atomic<IMessageBox*> g_box{nullptr};

}  // namespace

void CErrorReport::SetMessageBox(IMessageBox* box) {
    g_box.store(box);
}

IMessageBox& CErrorReport::MessageBox() {
    IMessageBox* box = g_box.load();
    return box ? *box : g_stderrBox;
}

void CErrorReport::Show(const char* caption, const std::string& text) {
    MessageBox().Report(caption, text);
}

void CErrorReport::Show(const char* caption, const std::string& text, const std::string& details) {
    if (details.empty()) {
        Show(caption, text);
    } else {
        MessageBox().ReportWithDetails(caption, text, details);
    }
}

void CErrorReport::Problem(const std::string& text) {
    Show(kPromptCaption, text);
}

int CErrorReport::Ask(const std::string& text) {
    return MessageBox().Prompt(kPromptCaption, text);
}

void CErrorReport::Error001() {
    Show("Error 001", "Loading the INI file failed!");
}

void CErrorReport::Error002() {
    Show("Error 002",
         "Failure during importing comma delimited file!\r\n"
         "Some reserved words in the file name may cause\r\n"
         "this problem.\r\n"
         "Change your file name or check the file's format!");
}

void CErrorReport::Error002(const std::string& details) {
    Show("Error 002",
         "Failure during importing comma delimited file!\r\n"
         "Some reserved words in the file name may cause\r\n"
         "this problem.\r\n"
         "Change your file name or check the file's format!",
         details);
}

void CErrorReport::Error101() {
    Show("Error 101", "Enter the first name!");
}
void CErrorReport::Error102() {
    Show("Error 102", "Invalid characters!");
}
void CErrorReport::Error201Default() {
    Show("Error 201", "The default database file does not exist!");
}
void CErrorReport::Error201LastUsed() {
    Show("Error 201", "The last used database file does not exist!");
}
void CErrorReport::Error201Default(const std::string& details) {
    Show("Error 201", "The default database file does not exist!", details);
}
void CErrorReport::Error201LastUsed(const std::string& details) {
    Show("Error 201", "The last used database file does not exist!", details);
}
void CErrorReport::Error202() {
    Show("Error 202", "Database file cannot be opened!");
}
void CErrorReport::Error203() {
    Show("Error 203", "Failure during opening recordset!");
}
void CErrorReport::Error202(const std::string& details) {
    Show("Error 202", "Database file cannot be opened!", details);
}
void CErrorReport::Error203(const std::string& details) {
    Show("Error 203", "Failure during opening recordset!", details);
}
void CErrorReport::Error204() {
    Show("Error 204", "The maximum number of group is 20!");
}
void CErrorReport::Error205() {
    Show("Error 205", "A group can contain maximum 10 addresses!");
}
void CErrorReport::Error206() {
    Show("Error 206", "The Same address already exists in this group!");
}
void CErrorReport::Error301() {
    Show("Error 301", "Unable to initialize COM port!");
}
void CErrorReport::Error301(const std::string& details) {
    Show("Error 301", "Unable to initialize COM port!", details);
}
void CErrorReport::Error302(const std::string& portName) {
    Show("Error 302", Error302Text(portName));
}
void CErrorReport::Error303() {
    Show("Error 303", "Serial port queue is full!");
}
void CErrorReport::Error304() {
    Show("Error 304", "Timeout!\r\nOr, bad connection!");
}
void CErrorReport::Error304(const std::string& details) {
    Show("Error 304", "Timeout!\r\nOr, bad connection!", details);
}
void CErrorReport::Error305() {
    Show("Error 305", "The device is locked!");
}
void CErrorReport::Error306() {
    Show("Error 306", "The device has no entries!");
}
void CErrorReport::Error307() {
    Show("Error 307", "The PC has no entries!");
}
void CErrorReport::Error308(int maxPersonal) {
    Show("Error 308", Error308Text(maxPersonal));
}
void CErrorReport::Error309() {
    Show("Error 309", "Download failed!");
}
void CErrorReport::Error310() {
    Show("Error 310", "Upload failed!");
}
void CErrorReport::Error309(const std::string& details) {
    Show("Error 309", "Download failed!", details);
}
void CErrorReport::Error310(const std::string& details) {
    Show("Error 310", "Upload failed!", details);
}

std::string CErrorReport::Error302Text(const std::string& portName) {
    return "Error while creating ThreadWatchComm, " + portName + "!";
}

std::string CErrorReport::Error308Text(int maxPersonal) {
    return "The device can have maximum " + std::to_string(maxPersonal) + " personal entries!";
}

std::string CErrorReport::DeleteContactText(const std::string& firstName,
                                            const std::string& lastName) {
    std::string text = "Delete " + firstName;
    if (!lastName.empty()) {
        text += " " + lastName;
    }
    return text + "'s record?";
}

int CErrorReport::AskDeleteContact(const std::string& firstName, const std::string& lastName) {
    return Ask(DeleteContactText(firstName, lastName));
}

int CErrorReport::AskDeleteGroup(const std::string& groupName) {
    return Ask("Delete the group '" + groupName + "'?");
}

int CErrorReport::AskReplaceContacts() {
    return Ask("Replace the current contacts?");
}

int CErrorReport::AskDownload() {
    return Ask(
        "  This operation deletes all entries in the PC\r\n"
        "and saves all entries in your device to the PC.\r\n"
        "Would you like to proceed?");
}

int CErrorReport::AskUpload() {
    return Ask(
        "  This operation deletes all entries in your device\r\n"
        "and saves all entries in the PC to the device.\r\n"
        "Would you like to proceed?");
}

}  // namespace orvex
