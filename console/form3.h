#pragma once

#include <QWidget>

class Form1;

// The command console: any command of the catalogue, chosen from a list,
// given its digits and sent through the main window.
class Form3 : public QWidget
{
    Q_OBJECT

public:
    explicit Form3(Form1 &main);

    // The main window's "Command Table" button.
    static void commandTable(Form1 &main);

private:
    Form1 &m_main;
};
