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
        std::string kind; // "message", "confirm", "file"
        std::string title;
        std::string text;
    };
    std::vector<Shown> shown;
    std::deque<int> confirmAnswers;      // default answer when empty: 1 (yes)
    std::deque<std::string> fileAnswers; // empty string = cancelled; none queued = cancelled

    ScriptedPopups() { SetPopupResponder(this); }
    ~ScriptedPopups() override { SetPopupResponder(nullptr); }

    int message(const std::string &title, const std::string &text) override {
        shown.push_back({"message", title, text});
        return 0;
    }
    int confirm(const std::string &title, const std::string &text) override {
        shown.push_back({"confirm", title, text});
        if (confirmAnswers.empty()) return 1;
        int a = confirmAnswers.front();
        confirmAnswers.pop_front();
        return a;
    }
    int fileSelect(const std::string &, const std::string &, const std::string &title, int,
                   std::string *path) override {
        shown.push_back({"file", title, ""});
        if (fileAnswers.empty()) return VAL_NO_FILE_SELECTED;
        std::string a = fileAnswers.front();
        fileAnswers.pop_front();
        if (a.empty()) return VAL_NO_FILE_SELECTED;
        if (path) *path = a;
        return VAL_EXISTING_FILE_SELECTED;
    }
    // The text of the last message shown with this title, or "" when none.
    std::string lastMessage(const std::string &title = "") const {
        for (auto it = shown.rbegin(); it != shown.rend(); ++it)
            if (title.empty() || it->title == title) return it->text;
        return "";
    }
};
