// Pop-ups go through one replaceable responder: the interactive one shows Qt
// dialogs; tests install a scripted one so nothing ever blocks on a person.
#include "ui/engine/engine_p.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

QWidget *dialogParent() { return QApplication::activeWindow(); }

class InteractiveResponder : public PopupResponder {
  public:
    int message(const std::string &title, const std::string &text) override {
        QMessageBox::information(dialogParent(), QString::fromStdString(title), QString::fromStdString(text));
        return 0;
    }
    int confirm(const std::string &title, const std::string &text) override {
        return QMessageBox::question(dialogParent(), QString::fromStdString(title), QString::fromStdString(text),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes
                   ? 1
                   : 0;
    }
    int fileSelect(const std::string &dir, const std::string &pattern, const std::string &title, int buttonLabel,
                   std::string *path) override {
        const QString filter = pattern.empty() ? QString("All files (*)")
                                            : QString("%1;;All files (*)").arg(QString::fromStdString(pattern));
        const QString start = QString::fromStdString(dir);
        QString chosen = buttonLabel == VAL_SAVE_BUTTON
                             ? QFileDialog::getSaveFileName(dialogParent(), QString::fromStdString(title), start,
                                                            filter)
                             : QFileDialog::getOpenFileName(dialogParent(), QString::fromStdString(title), start,
                                                            filter);
        if (chosen.isEmpty()) return VAL_NO_FILE_SELECTED;
        if (path) *path = chosen.toStdString();
        return QFileInfo::exists(chosen) ? VAL_EXISTING_FILE_SELECTED : VAL_NEW_FILE_SELECTED;
    }
};

InteractiveResponder g_interactive;
PopupResponder *g_responder = &g_interactive;

} // namespace

void SetPopupResponder(PopupResponder *responder) { g_responder = responder ? responder : &g_interactive; }

int MessagePopup(const char *title, const char *message) {
    return g_responder->message(title ? title : "", message ? message : "");
}

int ConfirmPopup(const char *title, const char *message) {
    return g_responder->confirm(title ? title : "", message ? message : "");
}

int FileSelectPopup(const char *defaultDirectory, const char *defaultFileSpec, const char * /*fileTypeList*/,
                    const char *title, int buttonLabel, int /*restrictDirectory*/, int /*restrictExtension*/,
                    int /*allowCancel*/, int /*allowMakeDirectory*/, std::string *pathName) {
    return g_responder->fileSelect(defaultDirectory ? defaultDirectory : "", defaultFileSpec ? defaultFileSpec : "",
                                   title ? title : "", buttonLabel, pathName);
}
