#pragma once

#include <QDialog>

class Form1;

// The port settings dialog: chooses the COM port and the baud rate, opens
// the main window's port with them and stores them.
class Form2 : public QDialog
{
    Q_OBJECT

public:
    explicit Form2(Form1 &main);

    // Start-up's fallback: shown modally; returns when it is gone.
    static void showModal(Form1 &main);
    // The main window's "COM" button: closes the port, keeps copies of the
    // port values for Cancel and shows the dialog without modality (or
    // brings the open one forward).
    static void comButton(Form1 &main);

private:
    Form1 &m_main;
};
