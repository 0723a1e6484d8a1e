#include "form1.h"

#include "arrows.h"
#include "buttonmap.h"
#include "displayline.h"
#include "form2.h"
#include "form3.h"
#include "layout.h"
#include "settingsstore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace {

QString storeText(const char *key, const char *defaultText)
{
    return SettingsStore::readStartUp(QString::fromLatin1(key), QString::fromLatin1(defaultText));
}


} // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent)
    , engine(MSComm1, *this)
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
            if (entry.style == ButtonMap::Style::Hold) {
                m_holdButtons->attach(b, entry.holdKind);
            } else if (qstrcmp(entry.button, "Command23") == 0) {
                connect(b, &QPushButton::clicked, this, &Form1::Command23_Click);
            } else if (qstrcmp(entry.button, "Command16") == 0) {
                connect(b, &QPushButton::clicked, this, &Form1::Command16_Click);
            } else {
                connect(b, &QPushButton::clicked, this,
                        [this, word = entry.command]() { commandClick(word); });
            }
        }
    }
    connect(button(QStringLiteral("Command33")), &QPushButton::clicked, this,
            &Form1::Command33_Click);
    connect(button(QStringLiteral("Command74")), &QPushButton::clicked, this,
            &Form1::Command74_Click);
    connect(&MSComm1, &MSComm::linkLost, this, &Form1::markLinkLost);
    connect(&MSComm1, &MSComm::opened, this, &Form1::clearLinkLostMark);
    button(QStringLiteral("Command33"))->setToolTip(tr("Port settings"));
    button(QStringLiteral("Command74"))
        ->setToolTip(tr("Command console: any command of the projector"));
}

void Form1::markLinkLost(const QString &reason)
{
    // Nothing reaches the projector any more: a held arrow stops repeating.
    if (engine.holdGuard() != 0)
        m_holdButtons->mouseUp();
    QPushButton *com = button(QStringLiteral("Command33"));
    if (!m_linkLostMarked) {
        m_comStyle = com->styleSheet();
        m_comToolTip = com->toolTip();
        m_linkLostMarked = true;
    }
    const QString device = MSComm1.device().isEmpty() ? MSComm::deviceForPort(MSComm1.commPort())
                                                      : MSComm1.device();
    const QString text =
        tr("The link to the projector was lost (COM%1, %2): %3.\n"
           "Nothing is sent until the port is open again: press COM, then OK.")
            .arg(MSComm1.commPort())
            .arg(device, reason.isEmpty() ? tr("the line failed") : reason);
    // Shown as written: the device name comes from the user's settings.
    com->setToolTip(Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal));
    com->setStyleSheet(Layout::buttonStyleSheet(Layout::colour(Layout::Colour::Off, false)));
    // The "COM" button stands in the monitor area: show it at once.
    if (m_outerHeight < 7000)
        setOuterHeightTwips(FullHeight);
}

void Form1::clearLinkLostMark()
{
    if (!m_linkLostMarked)
        return;
    m_linkLostMarked = false;
    QPushButton *com = button(QStringLiteral("Command33"));
    com->setStyleSheet(m_comStyle);
    com->setToolTip(m_comToolTip);
}

void Form1::stopExchanges()
{
    if (engine.holdGuard() != 0)
        m_holdButtons->mouseUp();
    engine.Timer1.stop();
    engine.Timer2.stop();
    engine.Timer4.stop();
}

void Form1::commandClick(const char *commandWord)
{
    // Each click starts from the plain word: nothing of an earlier send
    // (its address prefix) stays in the current command.
    engine.currentCommand = QString::fromLatin1(commandWord) + QLatin1Char('\r');
    Hyouji(engine.currentCommand, TransactionEngine::SendMode);
}

void Form1::Command23_Click()
{
    commandClick(ButtonMap::find(u"Command23")->command);
    engine.Timer1.setInterval(200);
}

void Form1::Command16_Click()
{
    // close() runs closeEvent: the address is stored, the port closed and
    // the other windows closed.
    close();
    QCoreApplication::quit();
}

void Form1::Option1_Click()
{
    engine.addressPrefix.clear();
}

void Form1::Option2_Click()
{
    engine.addressPrefix = QStringLiteral("AFFF");
}

void Form1::Option3_Click()
{
    engine.addressPrefix = QStringLiteral("A001");
}

void Form1::Option4_Click()
{
    engine.addressPrefix = QStringLiteral("A002");
}

void Form1::Option5_Click()
{
    engine.addressPrefix = QStringLiteral("A003");
}

void Form1::Option6_Click()
{
    engine.addressPrefix = QStringLiteral("A004");
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
                    | (mods & Qt::ControlModifier ? 2 : 0) | (mods & Qt::AltModifier ? 4 : 0);
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
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()
        && engine.holdGuard() != 0)
        m_holdButtons->mouseUp();
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

    ComPortNo = portNumberFromText(storeText("ComPort", "DATAC"));
    if (ComPortNo < 1 || ComPortNo > 15) {
        showPortDialogModal();
        return;
    }

    BaudCode = baudCodeFromText(storeText("BaudRate", "DATAb"));

    const QString address = storeText("ADRESS", "DATAD");
    engine.addressPrefix = address;
    selectStoredAddress(address);

    MSComm1.setSettings(MSComm::settingsFor(BaudCode));
    if (BaudCode != 96)
        BaudCode = 192;
    MSComm1.setCommPort(ComPortNo);

    if (!MSComm1.setPortOpen(true)) {
        showPortDialogModal(Form2::openFailureReason(MSComm1, ComPortNo));
        return;
    }
    engine.Timer2.setInterval(1000);
    engine.Timer4.setInterval(1200);
    placeOnScreen();
    engine.resetState();
}

void Form1::selectStoredAddress(const QString &prefix)
{
    const std::pair<const char *, QRadioButton *> choices[] = {
        {"AFFF", Option2}, {"A001", Option3}, {"A002", Option4},
        {"A003", Option5}, {"A004", Option6},
    };
    for (const auto &[text, option] : choices) {
        if (prefix == QLatin1String(text)) {
            option->setChecked(true);
            return;
        }
    }
    Option1->setChecked(true);
    engine.addressPrefix.clear();
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
    Form2::showModal(*this, reason);
}

void Form1::Command33_Click()
{
    Form2::comButton(*this);
}

void Form1::Command74_Click()
{
    Form3::commandTable(*this);
}

void Form1::Form_QueryUnload()
{
    SettingsStore::saveStartUp(QStringLiteral("ADRESS"), engine.addressPrefix);
    if (MSComm1.portOpen())
        MSComm1.setPortOpen(false);
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

QString Form1::statusText() const
{
    return Label25->text();
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
