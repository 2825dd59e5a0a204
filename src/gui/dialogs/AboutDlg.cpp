#include "gui/dialogs/AboutDlg.h"

#include "engine/app/MessageTexts.h"
#include "gui/app/AppIcon.h"
#include "gui/dialogs/DialogUnits.h"
#include "gui/dialogs/TextFit.h"

#include <QLabel>
#include <QPushButton>

#include <algorithm>

CAboutDlg::CAboutDlg(QWidget* owner, const QString& versionText) : QDialog(owner) {
    setWindowTitle("About Dravik");
    setFixedSize(DialogRect(this, 0, 0, 243, 55).size());

    auto* icon = new QLabel(this);
    const QRect iconRect = DialogRect(this, 11, 17, 20, 20);
    icon->setGeometry(iconRect);
    icon->setPixmap(AppIconPixmap(std::min(iconRect.width(), iconRect.height())));

    auto* name = new QLabel(kProgramTitle, this);
    name->setObjectName("productName");
    name->setGeometry(DialogRect(this, 39, 15, 140, 9));
    m_pVersion = new QLabel(versionText, this);
    m_pVersion->setObjectName("version");
    m_pVersion->setGeometry(DialogRect(this, 41, 24, 141, 10));
    auto* line = new QLabel("For DXU controllers, over COM or USB", this);
    line->setGeometry(DialogRect(this, 39, 33, 142, 9));

    auto* ok = new QPushButton("OK", this);
    ok->setGeometry(DialogRect(this, 186, 7, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    FitTextsToDialog(this);
}

QString CAboutDlg::VersionText() const {
    return m_pVersion->text();
}
