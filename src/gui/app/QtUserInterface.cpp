#include "gui/app/QtUserInterface.h"

#include "gui/app/MainFrame.h"
#include "gui/dialogs/AboutDlg.h"
#include "gui/dialogs/EraseDialog.h"
#include "gui/dialogs/EraseOKDialog.h"
#include "gui/dialogs/MessageDialog.h"
#include "gui/dialogs/OptionsDialog.h"
#include "gui/dialogs/RenameOKDialog.h"
#include "gui/download/ProgressDialog.h"
#include "gui/download/QtDownloadView.h"
#include "gui/link/CommDialog.h"
#include "gui/wizard/WizardPort.h"
#include "gui/zmodem/ZModemView.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cstdint>

namespace {

class CQtWaitWindow : public IWaitWindow {
public:
    CQtWaitWindow(CGuiCaller& caller, QWidget* owner, const std::string& caption, const std::string& message)
        : m_caller(caller) {
        m_caller.Call([&] {
            m_pDialog = new CMessageDialog(owner);
            m_pDialog->SetCaption(QString::fromStdString(caption));
            m_pDialog->SetMessage(QString::fromStdString(message));
        });
    }
    ~CQtWaitWindow() override {
        m_caller.Call([&] { delete m_pDialog.data(); });
    }
    void SetCaption(const std::string& caption) override {
        m_caller.Call([&] {
            if (m_pDialog)
                m_pDialog->SetCaption(QString::fromStdString(caption));
        });
    }
    void SetMessage(const std::string& message) override {
        m_caller.Call([&] {
            if (m_pDialog)
                m_pDialog->SetMessage(QString::fromStdString(message));
        });
    }

private:
    CGuiCaller& m_caller;
    QPointer<CMessageDialog> m_pDialog; // read and written on the GUI thread only
};

class CQtProgressView : public IProgressView {
public:
    explicit CQtProgressView(CGuiCaller& caller) : m_caller(caller) {
        m_caller.Call([&] { m_pDialog = new CProgressDialog(); });
    }
    ~CQtProgressView() override {
        m_caller.Call([&] { delete m_pDialog.data(); });
    }
    void SetProgressRange(uint32_t maximum) override {
        m_caller.Call([&] {
            if (m_pDialog)
                m_pDialog->SetProgressRange(static_cast<int>(std::min<uint32_t>(maximum, INT32_MAX)));
        });
    }
    void StepProgress() override {
        m_caller.Call([&] {
            if (m_pDialog)
                m_pDialog->StepProgress();
        });
    }

private:
    CGuiCaller& m_caller;
    QPointer<CProgressDialog> m_pDialog; // read and written on the GUI thread only
};

QMessageBox::StandardButtons ButtonsOf(EMsgButtons buttons) {
    switch (buttons) {
    case EMsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case EMsgButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case EMsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case EMsgButtons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    case EMsgButtons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(EMsgIcon icon) {
    switch (icon) {
    case EMsgIcon::Information:
        return QMessageBox::Information;
    case EMsgIcon::Warning:
        return QMessageBox::Warning;
    case EMsgIcon::Error:
        return QMessageBox::Critical;
    case EMsgIcon::Question:
        return QMessageBox::Question;
    case EMsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// What the box answers when it is closed with Escape or the title bar.
int AnswerOf(int button, EMsgButtons buttons) {
    switch (button) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Retry:
        return IDRETRY;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        break;
    }
    return buttons == EMsgButtons::Ok ? IDOK : buttons == EMsgButtons::YesNo ? IDNO : IDCANCEL;
}

} // namespace

QString QtNameFilters(const std::string& filter) {
    // Pairs of description and pattern list, ended by an empty entry.
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            if (pattern == "*.*")
                pattern = "*"; // every file, with or without an extension
        QString description = parts[i];
        const qsizetype open = description.indexOf('(');
        if (open >= 0)
            description = description.left(open).trimmed();
        filters << QString("%1 (%2)").arg(description, patterns.join(' '));
    }
    return filters.join(";;");
}

CQtUserInterface::CQtUserInterface() = default;
CQtUserInterface::~CQtUserInterface() = default;

void CQtUserInterface::SetMainFrame(CMainFrame* frame) {
    m_pFrame = frame;
}

QWidget* CQtUserInterface::Owner() const {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return m_pFrame.data();
}

int CQtUserInterface::MessageBox(const std::string& text, EMsgButtons buttons, EMsgIcon icon) {
    int answer = AnswerOf(QMessageBox::NoButton, buttons);
    m_caller.Call([&] {
        QMessageBox box(IconOf(icon), "Dravik", QString::fromStdString(text), ButtonsOf(buttons), Owner());
        box.setTextFormat(Qt::PlainText);
        answer = AnswerOf(box.exec(), buttons);
    });
    return answer;
}

void CQtUserInterface::MessageBoxWithReason(const std::string& text, const std::vector<std::string>& reason) {
    QStringList lines;
    for (const std::string& line : reason)
        lines << QString::fromStdString(line);
    m_caller.Call([&] {
        QMessageBox box(QMessageBox::NoIcon, "Dravik", QString::fromStdString(text), QMessageBox::Ok,
                        Owner());
        box.setTextFormat(Qt::PlainText);
        box.setInformativeText(lines.join('\n'));
        // The box's text format leaves its informative label guessing: a reason holding a file name with
        // "<" in it would show as markup.
        if (auto* label = box.findChild<QLabel*>("qt_msgbox_informativelabel"))
            label->setTextFormat(Qt::PlainText);
        box.exec();
    });
}

void CQtUserInterface::Post(std::function<void()> task) {
    m_caller.Post(std::move(task));
}

void CQtUserInterface::PostCommand(int commandId, std::function<void()> run) {
    m_caller.Post([this, commandId, run = std::move(run)] {
        if (m_pFrame)
            m_pFrame->RunCommand(commandId);
        else
            run();
    });
}

void CQtUserInterface::RunControllerWork(std::function<void()> work) {
    // Called by the idle pass on the GUI thread; without a main window the work runs in place.
    if (m_pFrame)
        m_pFrame->RunControllerWork(std::move(work));
    else
        work();
}

void CQtUserInterface::ShowStatus(const std::string& messagePane, const std::string& linkPane) {
    m_caller.Call([&] {
        if (m_pFrame)
            m_pFrame->SetStatusTexts(QString::fromStdString(messagePane), QString::fromStdString(linkPane));
    });
}

void CQtUserInterface::ShowStatusMessage(const std::string& text) {
    m_caller.Call([&] {
        if (m_pFrame)
            m_pFrame->SetMessagePaneText(QString::fromStdString(text));
    });
}

bool CQtUserInterface::GetFileName(const FileDialogRequest& request, std::string& path) {
    bool accepted = false;
    m_caller.Call([&] {
        const std::string& folder =
            request.strInitialDir.empty() ? m_strDefaultFolder : request.strInitialDir;
        QFileDialog dialog(Owner(), QString::fromStdString(request.strTitle), QString::fromStdString(folder));
        dialog.setAcceptMode(request.bOpen ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        dialog.setFileMode(request.bOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dialog.setNameFilter(QtNameFilters(request.strFilter));
        QString extension = QString::fromStdString(request.strDefaultExt);
        extension.remove(QRegularExpression("^\\*?\\."));
        if (!extension.isEmpty() && !extension.contains('*'))
            dialog.setDefaultSuffix(extension);
        if (!request.strInitialName.empty())
            dialog.selectFile(QString::fromStdString(request.strInitialName));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            path = dialog.selectedFiles().first().toStdString();
            accepted = true;
        }
    });
    return accepted;
}

std::unique_ptr<IWaitWindow> CQtUserInterface::CreateWaitWindow(const std::string& caption,
                                                                const std::string& message) {
    return std::make_unique<CQtWaitWindow>(m_caller, m_pFrame.data(), caption, message);
}

bool CQtUserInterface::RunCommDialog(CommDialogData& data) {
    bool ok = false;
    m_caller.Call([&] {
        CCommDialog dialog(Owner(), data.nLinkChoice, data.strCurrentPort, data.devicePorts);
        if (dialog.exec() == QDialog::Accepted) {
            data.strPort = dialog.PortText();
            data.nLinkChoice = dialog.LinkChoice();
            ok = true;
        }
    });
    return ok;
}

void CQtUserInterface::RunAboutDialog(const std::string& versionText) {
    m_caller.Call([&] {
        CAboutDlg dialog(Owner(), QString::fromStdString(versionText));
        dialog.exec();
    });
}

std::unique_ptr<IDownloadView> CQtUserInterface::CreateDownloadView(std::function<void()> onCancel) {
    return std::make_unique<CQtDownloadView>(m_caller, std::move(onCancel));
}

std::unique_ptr<IZModemView> CQtUserInterface::CreateZModemView(std::function<void()> onCancel,
                                                                std::function<void()> onToggleUnit) {
    return std::make_unique<CQtZModemView>(m_caller, std::move(onCancel), std::move(onToggleUnit));
}

bool CQtUserInterface::RunEraseOkDialog() {
    bool yes = false;
    m_caller.Call([&] {
        CEraseOKDialog dialog(Owner());
        yes = dialog.exec() == QDialog::Accepted;
    });
    return yes;
}

bool CQtUserInterface::RunRenameOkDialog() {
    bool yes = false;
    m_caller.Call([&] {
        CRenameOKDialog dialog(Owner());
        yes = dialog.exec() == QDialog::Accepted;
    });
    return yes;
}

bool CQtUserInterface::RunEraseDialog(EraseDialogData& data) {
    bool ok = false;
    m_caller.Call([&] {
        CEraseDialog dialog(Owner(), data.nKind);
        if (dialog.exec() == QDialog::Accepted) {
            dialog.GetAreas(data);
            ok = true;
        }
    });
    return ok;
}

bool CQtUserInterface::RunOptionsDialog(OptionsDialogData& data) {
    bool ok = false;
    m_caller.Call([&] {
        COptionsDialog dialog(Owner());
        if (dialog.exec() == QDialog::Accepted) {
            dialog.GetChoices(data);
            ok = true;
        }
    });
    return ok;
}

std::unique_ptr<IProgressView> CQtUserInterface::CreateProgressView() {
    return std::make_unique<CQtProgressView>(m_caller);
}

int CQtUserInterface::RunWizardPage(EWizardPage page, WizardPageData& data) {
    const auto owner = [this] { return Owner(); };
    return RunWizardPageThrough(m_caller, owner, page, data);
}

std::unique_ptr<IWaitWindow> CQtUserInterface::ShowWizardNotice() {
    return ShowWizardNoticeThrough(m_caller, [this]() -> QWidget* { return m_pFrame.data(); });
}
