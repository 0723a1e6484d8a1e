#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The command console ("Command List"): any command of the catalogue, chosen
// from one of three lists, given its digits in the text box and sent through
// the main window. It is loaded by the main window's "Command Table" button
// and unloaded (deleted) when it closes. It asks the main window for what it
// needs by its signals, which the main window connects.
class Form3 : public QWidget
{
    Q_OBJECT

public:
    // Client width and the outer height the console takes when it loads,
    // in twips.
    static constexpr int ClientWidth = 10005;
    static constexpr int LoadHeight = 2500;

    // Builds the controls and loads the console (Form_Load). |main| is the
    // window it belongs to and shows again on CLOSE.
    explicit Form3(QWidget &main);
    ~Form3() override;

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

signals:
    // SEND: |text| goes out on the line, framed.
    void sendRequested(const QString &text);
    // The console closed: it is unloaded from now on.
    void unloaded();
    // The console is gone: the main window takes back its status frame and
    // its normal reply time-outs.
    void left();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void rowChosen(QComboBox *list);
    void takeCommandFrom(const QString &row);
    void selectPlaceholders();
    void switchList(QComboBox *target);
    QPointer<QWidget> m_main;
    // Set while CLOSE unloads the console: CLOSE runs the restoring steps
    // itself, after showing the main window.
    bool m_closingByButton = false;
};
