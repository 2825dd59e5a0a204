// The About box: the program's name, its version line and the icon.
#pragma once

#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    CAboutDlg(QWidget* owner, const QString& versionText);
    QString VersionText() const;

private:
    QLabel* m_pVersion;
};
