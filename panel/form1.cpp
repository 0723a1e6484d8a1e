#include "panel/form1.h"

#include "console/form3.h"
#include "facts/projector.h"
#include "panel/arrows.h"
#include "panel/buttonmap.h"
#include "panel/colourbutton.h"
#include "panel/displayline.h"
#include "panel/layout.h"
#include "portdialog/form2.h"
#include "ports/portmap.h"
#include "protocol/linelog.h"
#include "store/settingsstore.h"
#include "store/storedchoices.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

Form1::Form1(QWidget *parent)
    : QWidget(parent)
    , engine(MSComm1, *this)
    , session(MSComm1)
{
    setObjectName(QStringLiteral("Form1"));
    MSComm1.setObjectName(QStringLiteral("MSComm1"));
    buildControls();
    setOuterHeightTwips(CompactHeight);
}

Form1::~Form1()
{
    qApp->removeEventFilter(this);
}

void Form1::buildControls()
{
    QPalette grey = palette();
    grey.setColor(QPalette::Window, Layout::colour(Layout::Colour::Grey, false));
    setPalette(grey);
    setAutoFillBackground(true);
    setWindowTitle(QString());
    setWindowIcon(QIcon(Layout::programIcon()));
    // A fixed single border: a close box and a minimise box, no maximise box;
    // the size is fixed by setOuterHeightTwips.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    m_controls = Layout::build(this);
    auto label = [this](const char *name) {
        return qobject_cast<QLabel *>(m_controls.value(QString::fromLatin1(name)));
    };
    Label11 = label("Label11");
    Label12 = label("Label12");
    Label25 = label("Label25");
    Label19 = label("Label19");
    Label28 = label("Label28");
    Label27 = label("Label27");
    DisplayLine::mark(Label11, tr("Sent"));
    DisplayLine::mark(Label12, tr("Received"));
    DisplayLine::mark(Label25, tr("Status"));
    statusFrame = qobject_cast<QFrame *>(m_controls.value(QStringLiteral("FrameStatus")));

    QRadioButton **options[] = {&Option1, &Option2, &Option3, &Option4, &Option5, &Option6};
    void (Form1::*handlers[])() = {&Form1::Option1_Click, &Form1::Option2_Click,
                                   &Form1::Option3_Click, &Form1::Option4_Click,
                                   &Form1::Option5_Click, &Form1::Option6_Click};
    for (int i = 0; i < 6; ++i) {
        QRadioButton *option =
            qobject_cast<QRadioButton *>(m_controls.value(QStringLiteral("Option%1").arg(i + 1)));
        *options[i] = option;
        // Selecting an option from code runs its handler as a click does.
        connect(option, &QRadioButton::toggled, this, [this, handler = handlers[i]](bool on) {
            if (on)
                (this->*handler)();
        });
    }

    connectButtons();
    button(QStringLiteral("Command17"))->setFocus(Qt::OtherFocusReason);
    qApp->installEventFilter(this);
}

QPushButton *Form1::button(const QString &name) const
{
    return qobject_cast<QPushButton *>(m_controls.value(name));
}

void Form1::connectButtons()
{
    m_holdButtons = new HoldButtons(engine, this);
    for (const auto table : {ButtonMap::panelButtons(), ButtonMap::queryButtons()}) {
        for (const ButtonMap::Entry &entry : table) {
            QPushButton *b = button(QString::fromLatin1(entry.button));
            Q_ASSERT(b);
            b->setToolTip(ButtonMap::toolTip(entry));
            if (entry.style == ButtonMap::Style::Hold)
                b->setAccessibleName(ButtonMap::arrowName(entry));
            switch (entry.style) {
            case ButtonMap::Style::Hold:
                m_holdButtons->attach(b, entry.holdKind);
                break;
            case ButtonMap::Style::MenuOn:
                connect(b, &QPushButton::clicked, this, &Form1::Command23_Click);
                break;
            case ButtonMap::Style::End:
                connect(b, &QPushButton::clicked, this, &Form1::Command16_Click);
                break;
            case ButtonMap::Style::Click:
                connect(b, &QPushButton::clicked, this,
                        [this, word = entry.command]() { commandClick(word); });
                break;
            }
        }
    }
    connect(button(QStringLiteral("Command33")), &QPushButton::clicked, this,
            &Form1::Command33_Click);
    connect(button(QStringLiteral("Command74")), &QPushButton::clicked, this,
            &Form1::Command74_Click);
    connect(&MSComm1, &MSComm::linkLost, this, &Form1::markLinkLost);
    connect(&MSComm1, &MSComm::opened, this, &Form1::clearLinkLostMark);
    connect(&session, &PortSession::opened, this, [this](const QString &device, bool byItself) {
        engine.setLog(m_log, logName());
        if (m_log)
            m_log->event(logName(), byItself ? LineLog::Event::Reconnect : LineLog::Event::Open,
                         device);
    });
    connect(&session, &PortSession::closed, this, [this]() {
        if (m_log)
            m_log->event(logName(), LineLog::Event::Close, session.openDevice());
    });
    connect(&MSComm1, &MSComm::linkLost, this, [this](const QString &reason) {
        if (m_log)
            m_log->event(logName(), LineLog::Event::Lost, reason);
    });
    button(QStringLiteral("Command33"))->setToolTip(tr("Port settings"));
    button(QStringLiteral("Command74"))
        ->setToolTip(tr("Command console: any command of the projector"));
}

void Form1::setLog(LineLog *log)
{
    m_log = log;
    engine.setLog(log, logName());
}

QString Form1::logName() const
{
    return QStringLiteral("COM%1").arg(MSComm1.commPort());
}

void Form1::markLinkLost(const QString &reason)
{
    // Nothing reaches the projector any more: a held arrow stops repeating.
    m_holdButtons->endHold();
    auto *com = static_cast<ColourButton *>(button(QStringLiteral("Command33")));
    if (!m_linkLostMarked) {
        m_comColour = com->colour();
        m_comToolTip = com->toolTip();
        m_comDescription = com->accessibleDescription();
        m_linkLostMarked = true;
    }
    // The device that was open: the port number may stand for another by now.
    const QString device = session.openDevice().isEmpty()
                               ? PortMap::deviceForPort(MSComm1.commPort())
                               : session.openDevice();
    const QString text = tr("The link to the projector was lost (COM%1, %2): %3.\n"
                            "Nothing is sent until the port is open again: press COM, then OK.")
                             .arg(MSComm1.commPort())
                             .arg(device, reason.isEmpty() ? tr("the line failed") : reason);
    // Shown as written: the device name comes from the user's settings.
    com->setToolTip(Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal));
    // A screen reader tells it without the pointer on the button.
    com->setAccessibleDescription(text);
    com->setColour(Layout::colour(Layout::Colour::Off, false));
    // The "COM" button stands in the monitor area: show it at once.
    if (m_outerHeight < 7000)
        setOuterHeightTwips(FullHeight);
}

void Form1::clearLinkLostMark()
{
    if (!m_linkLostMarked)
        return;
    m_linkLostMarked = false;
    auto *com = static_cast<ColourButton *>(button(QStringLiteral("Command33")));
    com->setColour(m_comColour);
    com->setToolTip(m_comToolTip);
    com->setAccessibleDescription(m_comDescription);
}

void Form1::stopExchanges()
{
    m_holdButtons->endHold();
    engine.stopAll();
}

void Form1::commandClick(const char *commandWord)
{
    // Each click starts from the plain word: nothing of an earlier send
    // (its address prefix) stays in the current command.
    engine.sendCommand(QString::fromLatin1(commandWord) + QLatin1Char('\r'));
}

void Form1::Command23_Click()
{
    commandClick(ButtonMap::find(u"Command23")->command);
    engine.setPace(TransactionEngine::Pace::MenuOn);
}

void Form1::Command16_Click()
{
    // close() runs closeEvent: the address is stored, the port closed and
    // the other windows closed.
    close();
    QCoreApplication::quit();
}

void Form1::chooseAddress(int option)
{
    engine.addressPrefix = QString::fromLatin1(Projector::AddressOptions[option - 1].prefix);
}

void Form1::Option1_Click()
{
    chooseAddress(1);
}

void Form1::Option2_Click()
{
    chooseAddress(2);
}

void Form1::Option3_Click()
{
    chooseAddress(3);
}

void Form1::Option4_Click()
{
    chooseAddress(4);
}

void Form1::Option5_Click()
{
    chooseAddress(5);
}

void Form1::Option6_Click()
{
    chooseAddress(6);
}

void Form1::Form_KeyDown(int keyCode, int shift)
{
    if (keyCode != Qt::Key_H || (shift & 7) != 2)
        return;
    setOuterHeightTwips(m_outerHeight >= 7000 ? CompactHeight : FullHeight);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && watched->isWidgetType()) {
        auto *target = static_cast<QWidget *>(watched);
        if (target->window() == this) {
            if (type == QEvent::KeyRelease) {
                m_previewedKey = nullptr;
            } else if (event == m_previewedKey && m_previewedAt
                       && target == m_previewedAt->parentWidget()) {
                m_previewedAt = target; // the same press on its way up
            } else {
                m_previewedKey = event;
                m_previewedAt = target;
                const auto *key = static_cast<const QKeyEvent *>(event);
                const Qt::KeyboardModifiers mods = key->modifiers();
                const int shift = (mods & Qt::ShiftModifier ? 1 : 0)
                                  | (mods & Qt::ControlModifier ? 2 : 0)
                                  | (mods & Qt::AltModifier ? 4 : 0);
                Form_KeyDown(key->key(), shift);
            }
        }
    }
    // The key goes on to the focused control in every case.
    return QWidget::eventFilter(watched, event);
}

void Form1::changeEvent(QEvent *event)
{
    // A hold ends with a mouse release on an arrow. Should the window lose
    // the pointer while one is held (another window taking over), that
    // release never comes; end the hold rather than repeat forever.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        m_holdButtons->endHold();
    QWidget::changeEvent(event);
}

void Form1::setOuterHeightTwips(int twips)
{
    m_outerHeight = twips;
    setFixedSize(Layout::px(ClientWidth), Layout::px(twips - FrameAllowance));
}

void Form1::Form_Load()
{
    setOuterHeightTwips(CompactHeight);

    if (!session.loadStored()) {
        showPortDialogModal();
        return;
    }

    const QString address = StoredChoices::address();
    engine.addressPrefix = address;
    selectStoredAddress(address);

    portTried(session.openStored());
}

void Form1::loadProjector(const QString &device, int comPort, quint8 baudCode,
                          const QString &prefix)
{
    setOuterHeightTwips(CompactHeight);
    session.BaudCode = baudCode;
    engine.addressPrefix = prefix;
    selectStoredAddress(prefix);
    portTried(session.openDevice(device, comPort));
}

void Form1::portTried(const QString &failure)
{
    if (!failure.isEmpty()) {
        showPortDialogModal(failure);
        return;
    }
    engine.setPace(TransactionEngine::Pace::PortOpened);
    placeOnScreen();
    engine.resetState();
}

void Form1::selectStoredAddress(const QString &prefix)
{
    QRadioButton *options[] = {Option1, Option2, Option3, Option4, Option5, Option6};
    static_assert(std::size(options) == Projector::AddressOptionCount);
    const int option = Projector::addressOption(prefix);
    options[option]->setChecked(true);
    chooseAddress(option + 1);
}

void Form1::placeOnScreen()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const int outerWidth = Layout::px(ClientWidth);
    const int outerHeight = Layout::px(m_outerHeight);
    int left = area.x() + (area.width() - outerWidth) / 2;
    int top = area.y() + (area.height() - outerHeight) / 2 - Layout::px(1350);
    // On a small screen the raised window would lose its title bar above
    // the top edge.
    const QRect available = screen->availableGeometry();
    top = qMax(top, available.top());
    left = qMax(left, available.left());
    move(left, top);
}

void Form1::showPortDialogModal(const QString &reason)
{
    if (portDialog)
        portDialog->close();
    auto *dialog = new Form2(session, *this);
    if (!reason.isEmpty())
        dialog->showOpenFailureNote(reason);
    portDialog = dialog;
    dialog->exec(); // deletes it when it closes
}

void Form1::Command33_Click()
{
    session.beginChange();
    // A dialog already closed but not yet deleted counts as gone.
    auto *dialog = qobject_cast<Form2 *>(portDialog.data());
    if (!dialog || !dialog->isVisible()) {
        dialog = new Form2(session, *this);
        dialog->setModal(false);
        portDialog = dialog;
        // A lost port is tried again once the dialog has gone.
        connect(dialog, &QDialog::finished, &session, &PortSession::dialogClosed);
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void Form1::Command74_Click()
{
    openConsole();
}

void Form1::openConsole()
{
    // Loaded when it is not, otherwise brought forward as it is.
    if (statusFrame)
        statusFrame->hide();
    engine.setPace(TransactionEngine::Pace::Console);
    auto *form3 = qobject_cast<Form3 *>(console.data());
    if (!form3) {
        form3 = new Form3(*this);
        connect(form3, &Form3::sendRequested, this,
                [this](const QString &text) { engine.sendText(text); });
        connect(form3, &Form3::unloaded, this, [this, form3]() {
            // Unloaded from now on, even before the deferred deletion has
            // run: a "Command Table" click loads a fresh console.
            if (console == form3)
                console = nullptr;
        });
        connect(form3, &Form3::left, this, &Form1::consoleLeft);
        console = form3;
    }
    form3->show();
    form3->raise();
    form3->activateWindow();
}

void Form1::consoleLeft()
{
    if (statusFrame)
        statusFrame->show();
    engine.setPace(TransactionEngine::Pace::PortOpened);
}

void Form1::Form_QueryUnload()
{
    StoredChoices::saveAddress(engine.addressPrefix);
    session.close();
}

void Form1::closeEvent(QCloseEvent *event)
{
    Form_QueryUnload();
    // A hold or a reply in progress ends with the window: no timer keeps
    // ticking for a window that is gone.
    stopExchanges();
    // The port dialog and the console belong to this window and end with it.
    for (QWidget *window : {portDialog.data(), console.data()}) {
        if (window)
            window->close();
    }
    event->accept();
}

void Form1::setSentText(const QString &text)
{
    DisplayLine::show(Label11, text);
}

void Form1::setReceivedText(const QString &text)
{
    DisplayLine::show(Label12, text);
}

void Form1::setStatusText(const QString &text)
{
    DisplayLine::show(Label25, text);
}

void Form1::setLegendVisible(Render::Legend legend, bool visible)
{
    switch (legend) {
    case Render::AckLegend:
        Label19->setVisible(visible);
        break;
    case Render::CrLegend:
        Label28->setVisible(visible);
        break;
    case Render::SpaceLegend:
        Label27->setVisible(visible);
        break;
    default:
        break;
    }
}
