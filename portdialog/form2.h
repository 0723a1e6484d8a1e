#pragma once

#include "mscomm.h"

#include <QDialog>

class Form1;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The port settings dialog: chooses the COM port and the baud rate, opens
// the main window's port with them and stores them. It keeps no state of its
// own: every choice goes straight into Form1's ComPortNo and BaudCode, and it
// is built afresh (Form_Load) each time it is shown.
class Form2 : public QDialog
{
    Q_OBJECT

public:
    // Client area in twips.
    static constexpr int ClientWidth = 3105;
    static constexpr int ClientHeight = 4005;

    ~Form2() override;

    // Start-up's fallback: shown modally; returns when it is gone. A
    // |reason| (why the stored port could not be opened) shows in a note
    // below the controls from the moment the dialog opens.
    static void showModal(Form1 &main, const QString &reason = QString());
    // The main window's "COM" button: closes the port, keeps copies of the
    // port values for Cancel and shows the dialog without modality (or
    // brings the open one forward).
    static void comButton(Form1 &main);

    // Why opening failed, as the detail line under "Retry Comport".
    // |group| is the group that owns |device| (permission failures);
    // |otherText| is used for failures without a text of their own.
    static QString failureDetail(MSComm::OpenFailure failure, int port, const QString &device,
                                 const QString &group, const QString &otherText);
    // Why |port| failed to open port number |number|, as failureDetail says it.
    static QString openFailureReason(const MSComm &port, int number);
    // Tooltip text for port number |port|: its device and whether it exists.
    static QString portToolTip(int port);

    void Form_Load();
    void Option1_Click(); // 9600
    void Option2_Click(); // 19200
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
    // Builds the controls and runs Form_Load. Only the two ways of showing
    // it create the dialog; it belongs to |main|, closes with it and deletes
    // itself when closed (unloaded).
    explicit Form2(Form1 &main);

    void buildControls();
    void showOpenFailureNote(const QString &reason);
    // Selects |option| as the operator would: its handler runs even when it
    // is already selected.
    void choose(QRadioButton *option);
    // The baud option and line settings for BaudCode (normalising it).
    void applyBaudCode();
    // Opens the port with ComPortNo; empty on success, else why not.
    QString openPort();
    // "Retry Comport", with |detail| under it.
    void showFailure(const QString &detail);
    // Closes and deletes the dialog.
    void unload();
    // The port number in Text1, 0 when it does not hold one.
    int typedPort() const;
    QRadioButton *portOption(int port) const;

    Form1 &m_main;
};
