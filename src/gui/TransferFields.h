// The rows of a transfer window ("File Download", "ZModem"): a label and a read-only field per figure,
// and one row holding the progress bar, laid out top to bottom in dialog units.
#pragma once

#include <QString>

#include <map>

class CWideProgressBar;
class QDialog;
class QLineEdit;

struct SFieldRow {
    int nId; // 0: the progress bar's row
    const char* pszLabel;
    bool bRightAligned;
};

class CTransferFields {
public:
    static constexpr int kRowTop = 7;
    static constexpr int kRowPitch = 16;
    static constexpr int kWidth = 236;

    // Builds the rows into the window; the progress bar is created for the row with id 0.
    void Build(QDialog* window, const SFieldRow* rows, int count);
    // Where the buttons go below the rows (dialog units).
    static int ButtonTop(int rowCount) { return kRowTop + rowCount * kRowPitch + 4; }

    void SetField(int controlId, const QString& text);
    QString Field(int controlId) const;
    QLineEdit* FieldEdit(int controlId) const;
    CWideProgressBar* ProgressBar() const { return m_pProgress; }

private:
    std::map<int, QLineEdit*> m_fields;
    CWideProgressBar* m_pProgress = nullptr;
};
