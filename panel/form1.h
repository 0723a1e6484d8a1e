#pragma once

#include "ports/mscomm.h"
#include "ports/portsession.h"
#include "protocol/engine.h"
#include "widgets/windowkit.h"

#include <QColor>
#include <QHash>
#include <QPointer>
#include <QWidget>

class HoldButtons;
class LineLog;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;

// The control panel: the program's main window. It owns the serial port and
// the transaction engine and shows the engine's displays.
class Form1 : public QWidget, public EngineDisplay
{
    Q_OBJECT

public:
    // Window heights in twips (outer frame).
    static constexpr int CompactHeight = 5100;
    static constexpr int FullHeight = 8100;
    static constexpr int ClientWidth = 10185;
    // Title bar and border, taken off the outer height to get the client area.
    static constexpr int FrameAllowance = WindowKit::FrameAllowance;

    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // Start-up: read the stored settings, open the port, place the window;
    // the port dialog when no usable port is stored or it cannot be opened.
    void Form_Load();
    // Start-up for one projector of the venue: its device (|comPort| when it
    // is one of the program's port numbers, else 0), baud code and address
    // prefix instead of the stored ones.
    void loadProjector(const QString &device, int comPort, quint8 baudCode, const QString &prefix);
    // Closing: store the address and close the port.
    void Form_QueryUnload();

    // Everything sent and received, and the port's opens, closes, losses and
    // reopenings, go to |log| from now on (none: nullptr).
    void setLog(LineLog *log);

    // Outer window height in twips, as start-up and Ctrl+H set it.
    int outerHeightTwips() const { return m_outerHeight; }
    void setOuterHeightTwips(int twips);

    MSComm MSComm1;
    TransactionEngine engine;
    // The port number and baud code (ComPortNo, BaudCode and the copies
    // kept for Cancel), shown and changed by the port dialog.
    PortSession session;

    // Controls the engine and the other windows work on.
    QLabel *Label11 = nullptr; // sent text
    QLabel *Label12 = nullptr; // received text
    QLabel *Label25 = nullptr; // decoded status
    QLabel *Label19 = nullptr; // "[ACK]" legend
    QLabel *Label28 = nullptr; // "[CR]" legend
    QLabel *Label27 = nullptr; // "_" legend
    QFrame *statusFrame = nullptr;
    QRadioButton *Option1 = nullptr;
    QRadioButton *Option2 = nullptr;
    QRadioButton *Option3 = nullptr;
    QRadioButton *Option4 = nullptr;
    QRadioButton *Option5 = nullptr;
    QRadioButton *Option6 = nullptr;

    // EngineDisplay
    void setSentText(const QString &text) override;
    void setReceivedText(const QString &text) override;
    void setStatusText(const QString &text) override;
    void setLegendVisible(Render::Legend legend, bool visible) override;

    // Shows the port dialog modally (start-up's fallback), with |reason|
    // (why the stored port could not be opened) when there is one.
    void showPortDialogModal(const QString &reason = QString());

    // "COM": the port dialog without modality.
    void Command33_Click();
    // "Command Table": the command console.
    void Command74_Click();
    // MENU "On": sends like any click button, then puts the repetition back
    // to its start-up period.
    void Command23_Click();
    // "END": closes the window as the close box does, then ends the program.
    void Command16_Click();

    // The click buttons of the command map and the status column: the
    // button's command word and a carriage return go out through Hyouji.
    void commandClick(const char *commandWord);

    // The address options: each sets its address prefix, nothing else.
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void Option4_Click();
    void Option5_Click();
    void Option6_Click();

    // Key preview: every key pressed in this window comes here before the
    // focused control gets it. |keyCode| is the key (72 = H), |shift| has
    // bit 1 for Shift, 2 for Ctrl and 4 for Alt. Ctrl+H switches between the
    // compact and the full height.
    void Form_KeyDown(int keyCode, int shift);

    // The control named |name| (Command17, Label25, FramePower...), or nullptr.
    QWidget *control(const QString &name) const { return m_controls.value(name); }
    QPushButton *button(const QString &name) const;

    // The other windows while they are open.
    QPointer<QWidget> portDialog;
    QPointer<QWidget> console;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildControls();
    void connectButtons();
    void placeOnScreen();
    // The end of loading, once the port was tried: the port dialog with
    // |failure|, or, when it is empty, the window in its place, ready.
    void portTried(const QString &failure);
    void selectStoredAddress(const QString &prefix);
    // Address option |option| (1..6) chosen: its prefix is used from now on.
    void chooseAddress(int option);
    // The status frame hides while the console is open.
    void openConsole();
    void consoleLeft();
    // A lost link ends a running hold and marks the "COM" button (colour,
    // and the reason in its tooltip and its accessible description); the
    // mark goes when the port opens again. A send meanwhile shows that the
    // port is closed (TransactionEngine::PortClosedNote).
    void markLinkLost(const QString &reason);
    void clearLinkLostMark();
    // Ends a running hold and stops the exchange timers.
    void stopExchanges();
    // The port's name in the log ("COM3").
    QString logName() const;

    int m_outerHeight = CompactHeight;
    QHash<QString, QWidget *> m_controls;
    HoldButtons *m_holdButtons = nullptr;
    LineLog *m_log = nullptr;
    // The "COM" button's look before a lost link marked it.
    bool m_linkLostMarked = false;
    QColor m_comColour;
    QString m_comToolTip;
    QString m_comDescription;
    // The key press being previewed: one that the focused control leaves
    // unhandled travels on to the control's parents and must not be
    // previewed again on its way.
    const QEvent *m_previewedKey = nullptr;
    QPointer<QWidget> m_previewedAt;
};
