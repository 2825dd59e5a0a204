// The Port Setup dialog ("COM Port"): the COM port as an editable list of COM1..COM9 followed by the
// computer's serial ports, and the choice of COM or USB.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QRadioButton;

class CCommDialog : public QDialog {
    Q_OBJECT
public:
    // linkChoice: 0 COM, 1 USB. currentPort: the program's port name, selected when an entry begins with it.
    // devicePorts: device paths listed after COM9.
    CCommDialog(QWidget* owner, int linkChoice, const std::string& currentPort,
                const std::vector<std::string>& devicePorts = {});

    // Valid after OK: the text shown in the combo box and the chosen link.
    std::string PortText() const { return m_strPort; }
    int LinkChoice() const { return m_nLinkChoice; }

    QComboBox* PortList() const { return m_pPortList; }
    QRadioButton* ComChoice() const { return m_pCom; }
    QRadioButton* UsbChoice() const { return m_pUsb; }

    void accept() override;

private:
    QComboBox* m_pPortList;
    QRadioButton* m_pCom;
    QRadioButton* m_pUsb;
    std::string m_strPort;
    int m_nLinkChoice = 0;
};
