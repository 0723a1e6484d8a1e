#include "form1.h"

#include "form2.h"
#include "form3.h"
#include "settingsstore.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>

namespace {

QString storeText(const char *key, const char *defaultText)
{
    return SettingsStore::read(QString::fromLatin1(SettingsStore::kApplication),
                               QString::fromLatin1(SettingsStore::kStartUp),
                               QString::fromLatin1(key), QString::fromLatin1(defaultText));
}

int px(int twips)
{
    return twips / Form1::TwipsPerPixel;
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

Form1::~Form1() = default;

void Form1::buildControls()
{
    auto label = [this](const char *name, QWidget *parent, int l, int t, int w, int h) {
        auto *lbl = new QLabel(parent);
        lbl->setObjectName(QString::fromLatin1(name));
        lbl->setGeometry(px(l), px(t), px(w), px(h));
        return lbl;
    };
    auto *monitor = new QFrame(this);
    monitor->setGeometry(px(120), px(4700), px(8295), px(948));
    Label11 = label("Label11", monitor, 600, 195, 7575, 300);
    Label12 = label("Label12", monitor, 585, 555, 7575, 300);
    statusFrame = new QFrame(this);
    statusFrame->setGeometry(px(120), px(6140), px(6105), px(560));
    Label25 = label("Label25", statusFrame, 1020, 135, 4950, 285);
    Label28 = label("Label28", this, 120, 5705, 3495, 255);
    Label28->setText(QStringLiteral("[CR] :Carriage Return Code (0x0D)"));
    Label27 = label("Label27", this, 4200, 5705, 2295, 255);
    Label27->setText(QStringLiteral("_ :Space Code (0x20)"));
    Label19 = label("Label19", this, 120, 5880, 3495, 255);
    Label19->setText(QStringLiteral("[ACK]:ACKnowledge Code (0x06)"));
    for (QLabel *legend : {Label28, Label27, Label19})
        legend->hide();

    auto *addressFrame = new QFrame(this);
    addressFrame->setGeometry(px(120), px(6840), px(8200), px(615));
    struct Option {
        QRadioButton **member;
        const char *name;
        const char *caption;
        const char *prefix;
        int left;
    };
    const Option options[] = {
        {&Option1, "Option1", "SINGLE", "", 2880}, {&Option2, "Option2", "ALL", "AFFF", 3960},
        {&Option3, "Option3", "001", "A001", 4800}, {&Option4, "Option4", "002", "A002", 5640},
        {&Option5, "Option5", "003", "A003", 6480}, {&Option6, "Option6", "004", "A004", 7320},
    };
    for (const Option &o : options) {
        auto *button = new QRadioButton(QString::fromLatin1(o.caption), addressFrame);
        button->setObjectName(QString::fromLatin1(o.name));
        button->setGeometry(px(o.left), px(240), px(o.name[6] == '1' ? 975 : 700), px(255));
        const QString prefix = QString::fromLatin1(o.prefix);
        connect(button, &QRadioButton::toggled, this, [this, prefix](bool on) {
            if (on)
                engine.addressPrefix = prefix;
        });
        *o.member = button;
    }
    Option1->setChecked(true);
}

void Form1::setOuterHeightTwips(int twips)
{
    m_outerHeight = twips;
    setFixedSize(px(ClientWidth), px(twips - FrameAllowance));
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

    if (BaudCode == 96) {
        MSComm1.setSettings(QStringLiteral("9600,N,8,1"));
    } else {
        MSComm1.setSettings(QStringLiteral("19200,N,8,1"));
        BaudCode = 192;
    }
    MSComm1.setCommPort(ComPortNo);

    if (!MSComm1.setPortOpen(true)) {
        showPortDialogModal();
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
    const int outerWidth = px(ClientWidth);
    const int outerHeight = px(m_outerHeight);
    int left = area.x() + (area.width() - outerWidth) / 2;
    int top = area.y() + (area.height() - outerHeight) / 2 - px(1350);
    // On a small screen the raised window would lose its title bar above
    // the top edge.
    const QRect available = screen->availableGeometry();
    top = qMax(top, available.top());
    left = qMax(left, available.left());
    move(left, top);
}

void Form1::showPortDialogModal()
{
    Form2::showModal(*this);
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
    SettingsStore::save(QString::fromLatin1(SettingsStore::kApplication),
                        QString::fromLatin1(SettingsStore::kStartUp),
                        QStringLiteral("ADRESS"), engine.addressPrefix);
    if (MSComm1.portOpen())
        MSComm1.setPortOpen(false);
}

void Form1::closeEvent(QCloseEvent *event)
{
    Form_QueryUnload();
    // The port dialog and the console belong to this window and end with it.
    for (QWidget *window : {portDialog.data(), console.data()}) {
        if (window)
            window->close();
    }
    event->accept();
}

void Form1::setSentText(const QString &text)
{
    Label11->setText(text);
}

void Form1::setReceivedText(const QString &text)
{
    Label12->setText(text);
}

QString Form1::statusText() const
{
    return Label25->text();
}

void Form1::setStatusText(const QString &text)
{
    Label25->setText(text);
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
