#pragma once
// A Dialogs double for window tests: open-file and folder dialogs answer from queues the test
// fills, message boxes are recorded and return at once. Nothing ever blocks.
//
//   auto* dialogs = ScriptedDialogs::install(form);       // replaces form.dialogs
//   dialogs->answerFile("examples/vars.txt");            // next open-file dialog: OK, this file
//   dialogs->cancelFile();                               // the one after: Cancel
//   form.button4_Click();
//   EXPECT_EQ(dialogs->messages().size(), 1u);
//
// An empty queue answers Cancel. The settings each dialog was shown with are kept, so a test
// can check the filter or the preselected folder.

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ui/Dialogs.h"

class ScriptedDialogs : public Dialogs {
public:
    struct Message {
        std::string text;
        std::string caption;
    };

    // Puts a new instance into form.dialogs and returns it (the form owns it).
    template <typename Form>
    static ScriptedDialogs* install(Form& form) {
        auto d = std::make_unique<ScriptedDialogs>();
        ScriptedDialogs* raw = d.get();
        form.dialogs = std::move(d);
        return raw;
    }

    void answerFile(std::string path) { push(files_, {DialogResult::OK, std::move(path)}); }
    void cancelFile() { push(files_, {DialogResult::Cancel, {}}); }
    void answerFolder(std::string path) { push(folders_, {DialogResult::OK, std::move(path)}); }
    void cancelFolder() { push(folders_, {DialogResult::Cancel, {}}); }

    DialogResult ShowDialog(OpenFileDialog& dialog) override {
        std::lock_guard<std::mutex> g(mutex_);
        fileDialogs_.push_back(dialog);
        Answer a = pop(files_);
        if (a.result == DialogResult::OK)
            dialog.FileName = a.path;
        return a.result;
    }

    DialogResult ShowDialog(FolderBrowserDialog& dialog) override {
        std::lock_guard<std::mutex> g(mutex_);
        folderDialogs_.push_back(dialog);
        Answer a = pop(folders_);
        if (a.result == DialogResult::OK)
            dialog.SelectedPath = a.path;
        return a.result;
    }

    void MessageBox(const std::string& text, const std::string& caption) override {
        std::lock_guard<std::mutex> g(mutex_);
        messages_.push_back({text, caption});
    }

    std::vector<Message> messages() const {
        std::lock_guard<std::mutex> g(mutex_);
        return messages_;
    }
    std::vector<OpenFileDialog> fileDialogsShown() const {
        std::lock_guard<std::mutex> g(mutex_);
        return fileDialogs_;
    }
    std::vector<FolderBrowserDialog> folderDialogsShown() const {
        std::lock_guard<std::mutex> g(mutex_);
        return folderDialogs_;
    }
    void clearMessages() {
        std::lock_guard<std::mutex> g(mutex_);
        messages_.clear();
    }

private:
    struct Answer {
        DialogResult result;
        std::string path;
    };

    void push(std::deque<Answer>& q, Answer a) {
        std::lock_guard<std::mutex> g(mutex_);
        q.push_back(std::move(a));
    }
    static Answer pop(std::deque<Answer>& q) {
        if (q.empty())
            return {DialogResult::Cancel, {}};
        Answer a = std::move(q.front());
        q.pop_front();
        return a;
    }

    // Guards every member: message boxes may be raised from any thread.
    mutable std::mutex mutex_;
    std::deque<Answer> files_, folders_;
    std::vector<Message> messages_;
    std::vector<OpenFileDialog> fileDialogs_;
    std::vector<FolderBrowserDialog> folderDialogs_;
};
