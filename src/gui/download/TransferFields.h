// The rows of a transfer window ("File Download", "ZModem"): a label and a read-only field per figure,
// and one row holding the progress bar, laid out top to bottom in dialog units.
#pragma once

#include <QString>

#include <map>

class CWideProgressBar;
class QDialog;
class QLineEdit;

// A row's field number: the number of the window's field (EDownloadField, EZModemField), which also
// names the field's object ("field1010"); kProgressRow for the progress bar's row.
constexpr int kProgressRow = 0;
template <class Field> constexpr int FieldNumber(Field field) {
    return static_cast<int>(field);
}

struct SFieldRow {
    int nId;
    const char* pszLabel;
    bool bRightAligned;
};

class CTransferFields {
public:
    static constexpr int kRowTop = 7;
    static constexpr int kRowPitch = 16;
    static constexpr int kWidth = 236;

    // Builds the rows into the window; the progress bar is created for the kProgressRow row.
    void Build(QDialog* window, const SFieldRow* rows, int count);
    // Where the buttons go below the rows (dialog units).
    static int ButtonTop(int rowCount) { return kRowTop + rowCount * kRowPitch + 4; }

    // Fields by number; unknown numbers are ignored.
    void SetField(int number, const QString& text);
    QString Field(int number) const;
    QLineEdit* FieldEdit(int number) const;
    CWideProgressBar* ProgressBar() const { return m_pProgress; }

private:
    std::map<int, QLineEdit*> m_fields;
    CWideProgressBar* m_pProgress = nullptr;
};
