#pragma once

#include "ports/mscomm.h"

#include <QDialog>

class PortSession;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The port settings dialog: chooses the COM port and the baud rate, opens
// the port with them and stores them. It keeps no state of its own: it shows
// the port session's values, hands every choice to the session, and is built
// afresh (Form_Load) each time it is shown. Its parent is the main window,
// which it shows again after OK or Cancel.
class Form2 : public QDialog
{
    Q_OBJECT

public:
    // Client area in twips.
    static constexpr int ClientWidth = 3105;
    static constexpr int ClientHeight = 4005;

    // Builds the controls and runs Form_Load. It belongs to |main|, closes
    // with it and deletes itself when closed (unloaded).
    Form2(PortSession &session, QWidget &main);
    ~Form2() override;

    // Start-up's reason (why the stored port could not be opened), in a
    // note below the controls.
    void showOpenFailureNote(const QString &reason);

    // Why opening failed, as the detail line under "Retry Comport".
    // |group| is the group that owns |device| (permission failures);
    // |otherText| is used for failures without a text of their own.
    static QString failureDetail(MSComm::OpenFailure failure, int port, const QString &device,
                                 const QString &group, const QString &otherText);
    // Tooltip text for port number |port|: its device and whether it exists.
    static QString portToolTip(int port);
    // Tooltip text for the number box while it names no port.
    static QString otherPortToolTip();

    void Form_Load();
    void Option1_Click();            // 9600
    void Option2_Click();            // 19200
    void portOption_Click(int port); // Option3..Option7: COM1..COM5
    void Text1_Change();
    void Command1_Click(); // OK
    void Command2_Click(); // Cancel

    QGroupBox *Frame1 = nullptr; // "Baud Rate"
    QGroupBox *Frame2 = nullptr; // "Com Port"
    QRadioButton *Option1 = nullptr;
    QRadioButton *Option2 = nullptr;
    QRadioButton *Option3 = nullptr;
    QRadioButton *Option4 = nullptr;
    QRadioButton *Option5 = nullptr;
    QRadioButton *Option6 = nullptr;
    QRadioButton *Option7 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    // Start-up's reason, under the controls; nullptr when there is none.
    QLabel *openFailureNote = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    // Selects |option| as the operator would: its handler runs even when it
    // is already selected.
    void choose(QRadioButton *option);
    // The baud option and line settings for BaudCode (normalising it).
    void applyBaudCode();
    // "Retry Comport", with |detail| under it.
    void showFailure(const QString &detail);
    // Closes and deletes the dialog.
    void unload();
    // The port number in Text1, 0 when it does not hold one.
    int typedPort() const;
    QRadioButton *portOption(int port) const;

    PortSession &m_session;
    QWidget &m_main;
};
