// A pop-up responder that answers from a script and records what was shown,
// for tests: no test ever waits on a dialog.
#pragma once

#include "ui/engine/engine.h"

#include <deque>
#include <string>
#include <vector>

class ScriptedPopups : public PopupResponder {
  public:
    struct Shown {
        std::string kind; // "message", "confirm", "note", "file", "prompt"
        std::string title;
        std::string text;
    };
    std::vector<Shown> shown;
    std::deque<int> confirmAnswers;      // default answer when empty: 1 (yes)
    std::deque<std::string> fileAnswers; // empty string = cancelled; none queued = cancelled
    std::vector<FileSelectRequest> fileRequests; // every file dialog asked for, in order
    std::deque<std::string> promptAnswers;        // none queued = cancelled

    ScriptedPopups() { SetPopupResponder(this); }
    ~ScriptedPopups() override { SetPopupResponder(nullptr); }

    int message(const std::string &title, const std::string &text) override {
        shown.push_back({"message", title, text});
        return 0;
    }
    void note(const std::string &title, const std::string &text) override { shown.push_back({"note", title, text}); }
    int confirm(const std::string &title, const std::string &text) override {
        shown.push_back({"confirm", title, text});
        if (confirmAnswers.empty()) return 1;
        int a = confirmAnswers.front();
        confirmAnswers.pop_front();
        return a;
    }
    // Answers with the next queued path as given; FileSelectPopup then applies
    // the request's extension and directory rules to it.
    int fileSelect(const FileSelectRequest &request, std::string *path) override {
        shown.push_back({"file", request.title, ""});
        fileRequests.push_back(request);
        if (fileAnswers.empty()) return 0;
        std::string a = fileAnswers.front();
        fileAnswers.pop_front();
        if (a.empty()) return 0;
        if (path) *path = a;
        return 1;
    }
    int prompt(const std::string &title, const std::string &text, std::string *response) override {
        shown.push_back({"prompt", title, text});
        if (promptAnswers.empty()) return 0;
        *response = promptAnswers.front();
        promptAnswers.pop_front();
        return 1;
    }
    // The text of the last message or question shown with this title (a file
    // dialog has none), or "" when none.
    std::string lastMessage(const std::string &title = "") const {
        for (auto it = shown.rbegin(); it != shown.rend(); ++it)
            if (it->kind != "file" && (title.empty() || it->title == title)) return it->text;
        return "";
    }
};
