#pragma once

#include <string>

#include "link/MessageBox.h"

namespace orvex {

// The program's numbered reports ("Error 001" .. "Error 310") and its five Yes/No prompts.
// Every text the user can see in such a box stands here and nowhere else. The object holds no
// state; the boxes go to the process's message box (SetMessageBox), so any instance on any
// thread may raise any report.
class CErrorReport {
  public:
    virtual ~CErrorReport() = default;

    // The box through which every report and prompt is shown. Without one, reports go to
    // standard error and prompts are answered No.
    static void SetMessageBox(IMessageBox* box);
    static IMessageBox& MessageBox();

    static constexpr const char* kPromptCaption = "Orvex Manager";

    // Start-up and files.
    void Error001();  // the settings file cannot be read
    void Error002();  // comma-delimited import failed
    // The same report with its cause (the file, the system's or the database's reason).
    void Error002(const std::string& details);
    // Contact editing.
    void Error101();  // no first name
    void Error102();  // invalid characters
    // Database and groups.
    void Error201Default();   // the default database file is missing
    void Error201LastUsed();  // the last used database file is missing
    // The same reports with details: the file is there but cannot be used, and why.
    void Error201Default(const std::string& details);
    void Error201LastUsed(const std::string& details);
    void Error202();
    void Error203();
    // With the cause: the file and the database's or the system's reason.
    void Error202(const std::string& details);
    void Error203(const std::string& details);
    void Error204();
    void Error205();
    void Error206();
    // Serial communication and transfers.
    void Error301();
    // Error 301 with the device, the system's reason and the way out under its text.
    void Error301(const std::string& details);
    void Error302(const std::string& portName);
    void Error303();
    void Error304();
    // Error 304 with the reason the device is not there (the port is not open, for example).
    void Error304(const std::string& details);
    void Error305();
    void Error306();
    void Error307();
    void Error308(int maxPersonal);
    void Error309();
    void Error310();
    // With the cause when it is not the link (a full disk, a database that refused a row).
    void Error309(const std::string& details);
    void Error310(const std::string& details);

    // A failure outside the numbered reports, such as a file that cannot be written: the text
    // names the file and the system's reason.
    void Problem(const std::string& text);

    // Prompts: each returns the box's answer; callers go on only on IDYES.
    int AskDeleteContact(const std::string& firstName, const std::string& lastName);
    int AskDeleteGroup(const std::string& groupName);
    int AskReplaceContacts();
    int AskDownload();
    int AskUpload();

    // The texts, for the callers and tests that need them without a box.
    static std::string DeleteContactText(const std::string& firstName, const std::string& lastName);
    static std::string Error302Text(const std::string& portName);
    static std::string Error308Text(int maxPersonal);

  private:
    static void Show(const char* caption, const std::string& text);
    static void Show(const char* caption, const std::string& text, const std::string& details);
    static int Ask(const std::string& text);
};

}  // namespace orvex
