#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class Form1;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The command console ("Command List"): any command of the catalogue, chosen
// from one of three lists, given its digits in the text box and sent through
// the main window. It is loaded by the main window's "Command Table" button
// and unloaded (deleted) when it closes.
class Form3 : public QWidget
{
    Q_OBJECT

public:
    // Client width and the outer height the console takes when it loads,
    // in twips.
    static constexpr int ClientWidth = 10005;
    static constexpr int LoadHeight = 2500;

    // Builds the controls and loads the console (Form_Load).
    explicit Form3(Form1 &main);
    ~Form3() override;

    // The main window's "Command Table" button: hides the status frame, sets
    // the long reply intervals and shows the console, loading it when it is
    // not loaded and otherwise bringing it forward as it is.
    static void commandTable(Form1 &main);

    // The text SEND hands over: Text1 up to its first '[', then a carriage
    // return. Kept in step with Text1 by Text1_Change.
    QString ConsoleCommand;

    QPushButton *Command1 = nullptr; // "SEND"
    QPushButton *Command2 = nullptr; // "CLOSE"
    QPushButton *Command3 = nullptr; // "Basic Command List"
    QPushButton *Command4 = nullptr; // "Expand Command List"
    QPushButton *Command5 = nullptr; // "Expand Read Command List"
    QLineEdit *Text1 = nullptr;      // the command, with "[CR]" for the carriage return
    QLabel *Label1 = nullptr;        // parameter hint
    QLabel *Label2 = nullptr;        // carriage-return hint
    QComboBox *Combo1 = nullptr;     // basic commands (selection only)
    QComboBox *Combo2 = nullptr;     // expanded setting commands
    QComboBox *Combo3 = nullptr;     // expanded read commands

    // Event handlers.
    void Form_Load();
    void Combo1_Click();
    void Combo2_Click();
    void Combo3_Click();
    void Text1_Change();
    void Command1_Click(); // SEND
    void Command2_Click(); // CLOSE
    void Command3_Click(); // basic list
    void Command4_Click(); // expanded setting list
    void Command5_Click(); // expanded read list

    // Selects |row| of |list| as the operator would: the list's handler runs.
    void chooseRow(QComboBox *list, int row);

    // The text that goes on the line for |command|: each character the line
    // cannot carry as one byte (beyond Latin-1) becomes one '?'.
    static QString lineText(const QString &command);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void rowChosen(QComboBox *list);
    void takeCommandFrom(const QString &row);
    void switchList(QComboBox *target);
    // Close steps 3 and 4: status frame back, normal reply intervals.
    static void restoreMainWindow(Form1 &main);

    QPointer<Form1> m_main;
    // Set while CLOSE unloads the console: CLOSE runs the restoring steps
    // itself, after showing the main window.
    bool m_closingByButton = false;
};
