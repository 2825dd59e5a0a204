#include "gui/wizard/WizardPort.h"

#include "gui/wizard/WizardDialogs.h"

#include <QPointer>

namespace {

// The notice behind the port's wait-window interface; created and deleted on the GUI thread.
class CQtWizardNotice : public IWaitWindow {
public:
    CQtWizardNotice(CGuiCaller& caller, const std::function<QWidget*()>& owner) : m_caller(caller) {
        m_caller.Call([&] { m_pDialog = new CWizardDialog_3(owner()); });
    }
    ~CQtWizardNotice() override {
        m_caller.Call([&] { delete m_pDialog.data(); });
    }
    void SetCaption(const std::string& caption) override {
        m_caller.Call([&] {
            if (m_pDialog)
                m_pDialog->setWindowTitle(QString::fromStdString(caption));
        });
    }
    void SetMessage(const std::string& message) override {
        m_caller.Call([&] {
            if (m_pDialog)
                m_pDialog->SetFirstText(QString::fromStdString(message));
        });
    }

private:
    CGuiCaller& m_caller;
    QPointer<CWizardDialog_3> m_pDialog; // read and written on the GUI thread only
};

} // namespace

int ExecWizardPage(QWidget* owner, EWizardPage page, WizardPageData& data) {
    switch (page) {
    case kWizardPageWelcome: {
        CWizardDialog_1 dialog(owner, data.bShowAtStartup);
        const int result = dialog.exec();
        if (result == kWizardNext || result == IDCANCEL)
            data.bShowAtStartup = dialog.ShowAtStartup();
        return result;
    }
    case kWizardPageCable: {
        CWizardDialog_2 dialog(owner);
        return dialog.exec();
    }
    case kWizardPageFileType: {
        CWizardDialog_4 dialog(owner);
        const int result = dialog.exec();
        if (result == kWizardNext)
            data.nFileType = dialog.FileType();
        return result;
    }
    case kWizardPageNoController: {
        CWizardDialog_5 dialog(owner);
        return dialog.exec();
    }
    case kWizardPageAnotherFile: {
        CWizardDialog_6 dialog(owner);
        return dialog.exec();
    }
    default:
        return IDCANCEL;
    }
}

int RunWizardPageThrough(CGuiCaller& caller, const std::function<QWidget*()>& owner, EWizardPage page,
                         WizardPageData& data) {
    int result = IDCANCEL;
    caller.Call([&] { result = ExecWizardPage(owner(), page, data); });
    return result;
}

std::unique_ptr<IWaitWindow> ShowWizardNoticeThrough(CGuiCaller& caller,
                                                     const std::function<QWidget*()>& owner) {
    return std::make_unique<CQtWizardNotice>(caller, owner);
}
