#include "portdialog/form2.h"

#include "facts/projector.h"
#include "portdialog/porttext.h"
#include "ports/portmap.h"
#include "ports/portreason.h"
#include "ports/portsession.h"
#include "widgets/controltable.h"
#include "widgets/windowkit.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

#ifdef Q_OS_WIN
#include <QSerialPortInfo>
#endif

#include <algorithm>

namespace {

using WindowKit::Kind;

// The dialog's controls; positions in twips relative to the container, tab
// 0 where the control takes no focus.
// clang-format off
constexpr WindowKit::Control kControls[] = {
    {"Frame1",   nullptr,  Kind::TitledFrame, "Baud Rate", 360,  240, 2415,  615,  0},
    {"Option1",  "Frame1", Kind::Option,      "9600",      120,  180, 1575,  375,  2},
    {"Option2",  "Frame1", Kind::Option,      "19200",    1320,  240,  975,  255,  3},
    {"Frame2",   nullptr,  Kind::TitledFrame, "Com Port",  360, 1200, 1455, 2535,  0},
    {"Option3",  "Frame2", Kind::Option,      "COM1",      180,  180, 1155,  315,  5},
    {"Option4",  "Frame2", Kind::Option,      "COM2",      180,  540, 1095,  255,  6},
    {"Option5",  "Frame2", Kind::Option,      "COM3",      180,  900,  975,  255,  7},
    {"Option6",  "Frame2", Kind::Option,      "COM4",      180, 1260, 1215,  255,  8},
    {"Option7",  "Frame2", Kind::Option,      "COM5",      180, 1620, 1335,  255,  9},
    {"Text1",    "Frame2", Kind::TextBox,     "0",         180, 2040,  375,  270,  1},
    {"Label1",   "Frame2", Kind::Label,       "OTHER",     600, 2100,  615,  255,  0},
    {"Command1", nullptr,  Kind::Button,      "OK",       2040, 1320,  735,  615, 10},
    {"Command2", nullptr,  Kind::Button,      "Cancel",   2040, 2160,  735,  615, 12},
};
// clang-format on

bool deviceExists(const QString &device)
{
#ifdef Q_OS_WIN
    const auto ports = QSerialPortInfo::availablePorts();
    return std::any_of(ports.begin(), ports.end(), [&](const QSerialPortInfo &info) {
        return info.portName().compare(device, Qt::CaseInsensitive) == 0;
    });
#else
    return QFileInfo::exists(device);
#endif
}

} // namespace

Form2::Form2(PortSession &session, QWidget &main)
    : QDialog(&main)
    , m_session(session)
    , m_main(main)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("  COM PORT"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(WindowKit::px(ClientWidth), WindowKit::px(ClientHeight));
    setFont(WindowKit::font(9, false));
    // Frame captions sit on the frame's top line, so the first option of a
    // frame (placed a few pixels below its top) stays clear of the caption.
    setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid palette(mid); margin-top: 0.5em; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"
                       // The number box is only 25 pixels wide: no room for padding.
                       "QLineEdit { padding: 0px; }"));

    buildControls();

    connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option1_Click();
    });
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option2_Click();
    });
    for (int port = 1; port <= 5; ++port) {
        QRadioButton *option = portOption(port);
        connect(option, &QRadioButton::toggled, this, [this, port](bool on) {
            if (on)
                portOption_Click(port);
        });
        // A click on the option already selected still chooses it again:
        // after a typed number the last action wins.
        connect(option, &QRadioButton::clicked, this, [this, port](bool on) {
            if (on)
                portOption_Click(port);
        });
        option->installEventFilter(this);
    }
    connect(Text1, &QLineEdit::textChanged, this, &Form2::Text1_Change);
    Text1->installEventFilter(this);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);

    Form_Load();
}

Form2::~Form2() = default;

void Form2::buildControls()
{
    // No default button (the builder makes none): Return in the number box
    // must not press OK (it would open the port and store the settings
    // unasked).
    const WindowKit::Controls made = WindowKit::build(this, kControls);
    Frame1 = made.get<QGroupBox>("Frame1");
    Frame2 = made.get<QGroupBox>("Frame2");
    Option1 = made.get<QRadioButton>("Option1");
    Option2 = made.get<QRadioButton>("Option2");
    Option3 = made.get<QRadioButton>("Option3");
    Option4 = made.get<QRadioButton>("Option4");
    Option5 = made.get<QRadioButton>("Option5");
    Option6 = made.get<QRadioButton>("Option6");
    Option7 = made.get<QRadioButton>("Option7");
    Text1 = made.get<QLineEdit>("Text1");
    Label1 = made.get<QLabel>("Label1");
    Command1 = made.get<QPushButton>("Command1");
    Command2 = made.get<QPushButton>("Command2");
    // First in tab order: it holds the focus when the dialog opens.
    made.firstTabStop->setFocus();
}

QRadioButton *Form2::portOption(int port) const
{
    switch (port) {
    case 1:
        return Option3;
    case 2:
        return Option4;
    case 3:
        return Option5;
    case 4:
        return Option6;
    case 5:
        return Option7;
    default:
        return nullptr;
    }
}

void Form2::choose(QRadioButton *option)
{
    if (option->isChecked())
        emit option->toggled(true); // run its handler as a fresh selection would
    else
        option->setChecked(true);
}

void Form2::Form_Load()
{
    if (QRadioButton *option = portOption(m_session.ComPortNo))
        choose(option);
    applyBaudCode();
    // The first digit typed replaces the "0".
    Text1->setCursorPosition(0);
    Text1->setSelection(0, 1);

    for (int port = 1; port <= 5; ++port)
        portOption(port)->setToolTip(portToolTip(port));
    const int typed = typedPort();
    Text1->setToolTip(typed ? portToolTip(typed) : otherPortToolTip());
}

void Form2::applyBaudCode()
{
    m_session.applyBaudCode();
    choose(m_session.BaudCode == Projector::Baud9600 ? Option1 : Option2);
}

void Form2::Option1_Click()
{
    m_session.chooseBaud(Projector::Baud9600);
}

void Form2::Option2_Click()
{
    m_session.chooseBaud(Projector::Baud19200);
}

void Form2::portOption_Click(int port)
{
    m_session.choosePort(port);
}

int Form2::typedPort() const
{
    return PortText::portNumber(Text1->text());
}

void Form2::Text1_Change()
{
    const int port = typedPort();
    if (port) {
        m_session.choosePort(port);
        Text1->setToolTip(portToolTip(port));
        return;
    }
    // Every other text goes back to "0" and the port stays as it was. The
    // reset changes the text again; a text that already is "0" is left
    // alone, which ends it.
    if (Text1->text() != QLatin1String("0")) {
        Text1->setText(QStringLiteral("0"));
        Text1->setSelection(0, 1);
    }
    Text1->setToolTip(otherPortToolTip());
}

void Form2::showOpenFailureNote(const QString &reason)
{
    // Below the dialog's own controls, which keep their places; the dialog
    // grows by the note's height.
    openFailureNote = new QLabel(this);
    openFailureNote->setObjectName(QStringLiteral("openFailureNote"));
    openFailureNote->setTextFormat(Qt::PlainText);
    openFailureNote->setWordWrap(true);
    QPalette red = openFailureNote->palette();
    red.setColor(QPalette::WindowText, WindowKit::colour(WindowKit::Colour::DarkRed, true));
    openFailureNote->setPalette(red);
    openFailureNote->setText(tr("The stored port could not be opened. %1").arg(reason));
    const int margin = WindowKit::px(120);
    const int width = WindowKit::px(ClientWidth) - 2 * margin;
    const int height = openFailureNote->heightForWidth(width);
    const int top = WindowKit::px(ClientHeight);
    openFailureNote->setGeometry(margin, top, width, height);
    setFixedSize(WindowKit::px(ClientWidth), top + height + margin);
}

void Form2::Command1_Click()
{
    const QString failure = m_session.accept();
    if (!failure.isEmpty()) {
        showFailure(failure);
        return;
    }
    QWidget &main = m_main;
    unload();
    main.show();
}

void Form2::Command2_Click()
{
    const bool wasOpen = m_session.port().portOpen();
    QString why;
    switch (m_session.cancel(&why)) {
    case PortSession::CancelResult::Reopened: {
        choose(m_session.BaudCode == Projector::Baud9600 ? Option1 : Option2);
        QWidget &main = m_main;
        unload();
        main.show();
        return;
    }
    case PortSession::CancelResult::Failed:
        choose(m_session.BaudCode == Projector::Baud9600 ? Option1 : Option2);
        break;
    case PortSession::CancelResult::NoPrevious:
        // The dialog goes when it closed an open port.
        if (wasOpen)
            unload();
        break;
    }
    showFailure(why);
}

void Form2::unload()
{
    close();
}

void Form2::showFailure(const QString &detail)
{
    // After an unload the message belongs to the main window.
    QWidget *owner = isVisible() ? static_cast<QWidget *>(this) : &m_main;
    QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Warning, QStringLiteral("Error"),
                        QStringLiteral("Retry Comport"), QMessageBox::Ok, owner);
    box->setInformativeText(detail);
    // The detail names devices from the user's settings: shown as written.
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->exec();
}

QString Form2::failureDetail(MSComm::OpenFailure failure, int port, const QString &device,
                             const QString &group, const QString &otherText)
{
    return PortReason::detail(failure, port, device, group, otherText);
}

QString Form2::otherPortToolTip()
{
    return tr("Another port: a number from %1 to %2")
        .arg(Projector::FirstPort)
        .arg(Projector::LastPort);
}

QString Form2::portToolTip(int port)
{
    const QString device = PortMap::deviceForPort(port);
    if (NetLine::isAddress(device)) {
        NetLine::Endpoint endpoint;
        QString why;
        if (!NetLine::parse(device, &endpoint, &why))
            return tr("COM%1: %2 (unusable: %3)").arg(port).arg(device, why);
        // Whether a server answers shows only when the port opens.
        return endpoint.telnet
                   ? tr("COM%1: %2 (network, Telnet with line settings; checked when opened)")
                         .arg(port)
                         .arg(device)
                   : tr("COM%1: %2 (network, raw TCP; checked when opened)").arg(port).arg(device);
    }
    const bool present = deviceExists(device);
#ifndef Q_OS_WIN
    const QFileInfo info(device);
    if (info.absolutePath() == QDir(PortMap::usbAdapterFolder()).absolutePath()) {
        const QString target = info.canonicalFilePath();
        return present ? tr("COM%1: USB adapter %2 (%3, present)")
                             .arg(port)
                             .arg(info.fileName(), target)
                       : tr("COM%1: USB adapter %2 (not found)").arg(port).arg(info.fileName());
    }
#endif
    return present ? tr("COM%1: %2 (present)").arg(port).arg(device)
                   : tr("COM%1: %2 (not found)").arg(port).arg(device);
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    // Devices come and go while the dialog is open: refresh the tooltip
    // just before it shows.
    if (event->type() == QEvent::ToolTip) {
        if (watched == Text1) {
            if (const int typed = typedPort())
                Text1->setToolTip(portToolTip(typed));
        } else {
            for (int port = 1; port <= 5; ++port) {
                if (watched == portOption(port))
                    portOption(port)->setToolTip(portToolTip(port));
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
