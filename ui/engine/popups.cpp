// Pop-ups go through one replaceable responder: the interactive one shows Qt
// dialogs; tests install a scripted one so nothing ever blocks on a person.
// The file dialog's extension and directory rules are applied here to the
// responder's answer, so they hold whichever responder answered.
#include "ui/engine/engine_p.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHash>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

#include <algorithm>

#include <sys/stat.h>

namespace {

QWidget *dialogParent() { return QApplication::activeWindow(); }

bool g_popupsEnded = false; // the program is ending on a signal: nothing waits for the operator

// The box's icon from its title: an error is marked as one, a warning as one.
QMessageBox::Icon iconForTitle(const std::string &title) {
    if (title == "ERROR!" || title == "ERROR" || title == "Error") return QMessageBox::Critical;
    if (title == "ATTENTION!") return QMessageBox::Warning;
    return QMessageBox::Information;
}

bool isPattern(const QString &name) { return name.contains('*') || name.contains('?'); }

QString acceptLabel(int buttonLabel) {
    switch (buttonLabel) {
    case VAL_SAVE_BUTTON: return "Save";
    case VAL_LOAD_BUTTON: return "Load";
    case VAL_SELECT_BUTTON: return "Select";
    default: return "OK";
    }
}

// Qt's own file dialog (not the desktop's), the only one that honours every
// flag: no cancel, no new folders, a fixed directory.
class FileDialog : public QFileDialog {
  public:
    FileDialog(QWidget *parent, const FileSelectRequest &r)
        : QFileDialog(parent, QString::fromStdString(r.title)), allowCancel_(r.allowCancel != 0) {
        setOption(QFileDialog::DontUseNativeDialog);
        const QString ext = QString::fromStdString(r.defaultExtension());
        const bool restricted = r.restrictExtension && !ext.isEmpty();

        QStringList patterns;
        const QString defaultFile = QString::fromStdString(r.defaultFile);
        if (isPattern(defaultFile)) patterns << defaultFile;
        for (const QString &p : QString::fromStdString(r.fileTypeList).split(';', Qt::SkipEmptyParts))
            if (!patterns.contains(p.trimmed())) patterns << p.trimmed();
        QStringList filters;
        if (restricted) filters << "*." + ext;
        else {
            if (!patterns.isEmpty()) filters << patterns.join(' ');
            filters << "All files (*)";
        }
        setNameFilters(filters);
        if (restricted) setDefaultSuffix(ext);

        setFileMode(r.buttonLabel == VAL_LOAD_BUTTON ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        setAcceptMode(r.buttonLabel == VAL_SAVE_BUTTON ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        setLabelText(QFileDialog::Accept, acceptLabel(r.buttonLabel));
        // A read-only view offers no "Create New Folder".
        setOption(QFileDialog::ReadOnly, r.allowMakeDirectory == 0);

        const QString dir = QString::fromStdString(r.defaultDirectory);
        if (!dir.isEmpty()) setDirectory(dir);
        if (!defaultFile.isEmpty() && !isPattern(defaultFile)) selectFile(defaultFile);
        // However the operator leaves the directory (a typed path, the
        // look-in list, back), the dialog returns to it once the move is done.
        auto *model = findChild<QFileSystemModel *>();
        if (r.restrictDirectory && !dir.isEmpty() && model) {
            setSidebarUrls({QUrl::fromLocalFile(dir)});
            connect(
                model, &QFileSystemModel::rootPathChanged, this,
                [this, dir](const QString &entered) {
                    if (QDir(entered) != QDir(dir)) setDirectory(dir);
                },
                Qt::QueuedConnection);
        }
        if (!allowCancel_)
            if (auto *box = findChild<QDialogButtonBox *>())
                if (QPushButton *cancel = box->button(QDialogButtonBox::Cancel)) cancel->hide();
    }
    // Escape and the close box end here too.
    void reject() override {
        if (allowCancel_) QFileDialog::reject();
    }

  private:
    bool allowCancel_;
};

class InteractiveResponder : public PopupResponder {
  public:
    int message(const std::string &title, const std::string &text) override {
        if (g_popupsEnded) return 0;
        QMessageBox box(iconForTitle(title), QString::fromStdString(title), QString::fromStdString(text),
                        QMessageBox::Ok, dialogParent());
        box.exec();
        return 0;
    }
    void note(const std::string &title, const std::string &text) override {
        if (g_popupsEnded) return;
        const QString key = QString::fromStdString(title);
        QPointer<QMessageBox> &box = notes_[key];
        if (!box) {
            box = new QMessageBox(QMessageBox::Information, key, QString(), QMessageBox::Ok, dialogParent());
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->setWindowModality(Qt::NonModal);
        }
        box->setText(QString::fromStdString(text));
        box->show();
    }
    int confirm(const std::string &title, const std::string &text) override {
        if (g_popupsEnded) return 0;
        return QMessageBox::question(dialogParent(), QString::fromStdString(title), QString::fromStdString(text),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes
                   ? 1
                   : 0;
    }
    int fileSelect(const FileSelectRequest &request, std::string *path) override {
        if (g_popupsEnded) return 0;
        FileDialog dialog(dialogParent(), request);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return 0;
        if (path) *path = dialog.selectedFiles().first().toStdString();
        return 1;
    }

    int prompt(const std::string &title, const std::string &text, std::string *response) override {
        if (g_popupsEnded) return 0;
        bool ok = false;
        // Several lines may be typed: a note is often a paragraph or more.
        const QString answer = QInputDialog::getMultiLineText(dialogParent(), QString::fromStdString(title),
                                                              QString::fromStdString(text), QString(), &ok);
        if (!ok) return 0;
        *response = answer.toStdString();
        return 1;
    }

  private:
    QHash<QString, QPointer<QMessageBox>> notes_; // the note shown under each title
};

InteractiveResponder g_interactive;
PopupResponder *g_responder = &g_interactive;

} // namespace

void engine::endPopupsForTermination() {
    g_popupsEnded = true;
    // Each closed dialog's own event loop returns, and its caller goes on
    // as after a cancel.
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<QDialog *>(w); dialog && dialog->isVisible() && dialog->isModal())
            dialog->done(QDialog::Rejected);
}

namespace {

// The chosen path as the request's rules make it, or the reason it is
// refused. The path stays in the bytes it was given: a name that is not
// UTF-8 (a file from another system) is still that file's name, and a
// round through QString would change it.
std::string applyFileRules(const FileSelectRequest &r, const std::string &chosen, QString *refusal) {
    const std::string &dir = r.defaultDirectory;
    std::string path = chosen;
    if (!chosen.empty() && chosen[0] != '/' && !dir.empty()) path = dir + (dir.back() == '/' ? "" : "/") + chosen;
    const std::string ext = r.defaultExtension();
    if (r.restrictExtension && !ext.empty()) {
        while (!path.empty() && path.back() == '.') path.pop_back();
        const std::size_t slash = path.rfind('/');
        const std::size_t dot = path.rfind('.');
        const bool hasSuffix = dot != std::string::npos && (slash == std::string::npos || dot > slash);
        const QString suffix = hasSuffix ? QString::fromStdString(path.substr(dot + 1)) : QString();
        if (suffix.isEmpty()) {
            path += "." + ext;
        } else if (suffix.compare(QString::fromStdString(ext), Qt::CaseInsensitive) != 0) {
            *refusal = QString("%1\nOnly .%2 files can be chosen here.")
                           .arg(QDir::toNativeSeparators(QString::fromStdString(path)), QString::fromStdString(ext));
            return path;
        }
    }
    const QString shown = QString::fromStdString(path);
    if (r.restrictDirectory && !dir.empty() && QFileInfo(shown).absoluteDir() != QDir(QString::fromStdString(dir))) {
        *refusal = QString("%1\nOnly files in %2 can be chosen here.")
                       .arg(QDir::toNativeSeparators(shown),
                            QDir::toNativeSeparators(QDir(QString::fromStdString(dir)).absolutePath()));
    }
    return path;
}

} // namespace

std::string FileSelectRequest::defaultExtension() const {
    const QString name = QFileInfo(QString::fromStdString(defaultFile)).fileName();
    const int dot = name.lastIndexOf('.');
    if (dot < 0) return "";
    const QString ext = name.mid(dot + 1);
    return ext.isEmpty() || isPattern(ext) ? "" : ext.toStdString();
}

void SetPopupResponder(PopupResponder *responder) { g_responder = responder ? responder : &g_interactive; }

int MessagePopup(const char *title, const char *message) {
    return g_responder->message(title ? title : "", message ? message : "");
}

void NotePopup(const char *title, const char *message) {
    g_responder->note(title ? title : "", message ? message : "");
}

int PromptPopup(const char *title, const char *message, std::string *response, int maxLength) {
    std::string answer;
    if (g_responder->prompt(title ? title : "", message ? message : "", &answer) < 1) return 0;
    // Cut on a character boundary, so a cut never leaves half a UTF-8 character.
    const QString text = QString::fromStdString(answer).left(std::max(maxLength, 0));
    if (response) *response = text.toStdString();
    return 1;
}

int ConfirmPopup(const char *title, const char *message) {
    return g_responder->confirm(title ? title : "", message ? message : "");
}

int FileSelectPopup(const char *defaultDirectory, const char *defaultFile, const char *fileTypeList,
                    const char *title, int buttonLabel, int restrictDirectory, int restrictExtension,
                    int allowCancel, int allowMakeDirectory, std::string *pathName) {
    FileSelectRequest r;
    r.defaultDirectory = defaultDirectory ? defaultDirectory : "";
    r.defaultFile = defaultFile ? defaultFile : "";
    r.fileTypeList = fileTypeList ? fileTypeList : "";
    r.title = title ? title : "";
    r.buttonLabel = buttonLabel;
    r.restrictDirectory = restrictDirectory;
    r.restrictExtension = restrictExtension;
    r.allowCancel = allowCancel;
    r.allowMakeDirectory = allowMakeDirectory;
    // A refused choice is explained and the dialog asked again; every round
    // waits for an answer, and a cancel ends it.
    for (;;) {
        std::string chosen;
        if (g_responder->fileSelect(r, &chosen) < 1 || chosen.empty()) return VAL_NO_FILE_SELECTED;
        QString refusal;
        const std::string path = applyFileRules(r, chosen, &refusal);
        if (!refusal.isEmpty()) {
            g_responder->message(r.title, refusal.toStdString());
            continue;
        }
        if (pathName) *pathName = path;
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? VAL_EXISTING_FILE_SELECTED : VAL_NEW_FILE_SELECTED;
    }
}
