#include "venue/venuewindow.h"

#include "protocol/linelog.h"
#include "store/settingsstore.h"
#include "venue/venuemodel.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include <csignal>

namespace {

const QString kSection = QStringLiteral("VenueWindow");
const QString kSize = QStringLiteral("Size");
const QString kColumns = QStringLiteral("Columns");

// Whether process |pid| still runs the panel (not another program that got
// its number since).
bool panelRunning(qint64 pid)
{
    if (pid <= 0 || ::kill(pid_t(pid), 0) != 0)
        return false;
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!cmdline.open(QIODevice::ReadOnly))
        return false;
    const QByteArray program = cmdline.readAll().split('\0').value(0);
    return program.endsWith("/orva") || program == "orva";
}

// The panel program: the one installed beside this one, or the build
// tree's, or the one on the PATH.
QString panelProgram()
{
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString &candidate :
         {here.filePath(QStringLiteral("orva")), here.filePath(QStringLiteral("../app/orva"))}) {
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).canonicalFilePath();
    }
    return QStringLiteral("orva");
}

} // namespace

VenueWindow::VenueWindow(Watcher &watcher, std::optional<int> lampWarnHours, QWidget *parent)
    : QWidget(parent)
    , m_watcher(watcher)
{
    setWindowTitle(tr("ORVA venue"));
    m_model = new VenueModel(watcher, lampWarnHours, this);
    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSourceModel(m_model);
    m_proxy->setSortRole(VenueModel::SortRole);
    m_proxy->setFilterKeyColumn(-1);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_proxy->setSortCaseSensitivity(Qt::CaseInsensitive);

    m_bar = new QLabel(this);
    m_bar->setAccessibleName(tr("Attention"));
    m_bar->setMargin(6);
    m_bar->setAutoFillBackground(true);
    m_bar->setTextFormat(Qt::PlainText);
    // The bar takes the window's width and never widens it: with many
    // projectors named (256 lamps past their hours made it 48,000 pixels
    // wide) its text wraps, up to three lines; the whole text is its tooltip
    // and its accessible description.
    m_bar->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_bar->setWordWrap(true);
    m_bar->setMaximumHeight(3 * m_bar->fontMetrics().lineSpacing() + 2 * m_bar->margin()
                            + 2 * m_bar->frameWidth());

    auto *filterLabel = new QLabel(tr("&Filter:"), this);
    m_filter = new QLineEdit(this);
    m_filter->setPlaceholderText(tr("name or state"));
    m_filter->setAccessibleName(tr("Filter"));
    m_filter->setAccessibleDescription(tr("Shows only the projectors whose row holds this text"));
    // The clear button comes with the first text: it is hidden while the
    // filter is empty, and finding its icon in the icon themes would cost
    // the start more than making all the rest of the window.
    connect(
        m_filter, &QLineEdit::textChanged, m_filter,
        [this]() { m_filter->setClearButtonEnabled(true); }, Qt::SingleShotConnection);
    filterLabel->setBuddy(m_filter);
    connect(m_filter, &QLineEdit::textChanged, m_proxy,
            &QSortFilterProxyModel::setFilterFixedString);

    m_table = new QTableView(this);
    m_table->setModel(m_proxy);
    m_table->setAccessibleName(tr("Projectors"));
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(VenueModel::Name, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTabKeyNavigation(false);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSectionsMovable(false);
    // Enter or a double click: the projector's recent exchanges.
    connect(m_table, &QTableView::activated, this,
            [this](const QModelIndex &index) { showLog(m_proxy->mapToSource(index).row()); });
    connect(m_table, &QTableView::doubleClicked, this,
            [this](const QModelIndex &index) { showLog(m_proxy->mapToSource(index).row()); });

    m_powerOn = new QPushButton(tr("Power on"), this);
    m_powerOff = new QPushButton(tr("Power off"), this);
    m_openPanel = new QPushButton(tr("Open panel"), this);
    m_powerOn->setAccessibleName(tr("Power on"));
    m_powerOff->setAccessibleName(tr("Power off"));
    m_openPanel->setAccessibleName(tr("Open panel"));
    m_powerOn->setAccessibleDescription(tr("Switches the selected projectors on"));
    m_powerOff->setAccessibleDescription(tr("Switches the selected projectors off, after asking"));
    m_openPanel->setAccessibleDescription(tr("Opens the control panel for the selected projector"));
    connect(m_powerOn, &QPushButton::clicked, this, &VenueWindow::powerOn);
    connect(m_powerOff, &QPushButton::clicked, this, &VenueWindow::powerOff);
    connect(m_openPanel, &QPushButton::clicked, this, &VenueWindow::openPanel);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &VenueWindow::updateButtons);

    auto *top = new QHBoxLayout;
    top->addWidget(filterLabel);
    top->addWidget(m_filter, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_powerOn);
    buttons->addWidget(m_powerOff);
    buttons->addWidget(m_openPanel);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_bar);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    setTabOrder(m_filter, m_table);
    setTabOrder(m_table, m_powerOn);
    setTabOrder(m_powerOn, m_powerOff);
    setTabOrder(m_powerOff, m_openPanel);

    connect(&watcher, &Watcher::changed, this,
            [this](const Watcher::Change &change) { projectorChanged(change.projector); });
    connect(&watcher, &Watcher::exchanged, this, &VenueWindow::exchanged);
    m_barPending.setSingleShot(true);
    m_barPending.setInterval(50);
    connect(&m_barPending, &QTimer::timeout, this, &VenueWindow::updateBar);
    m_panelCheck.setInterval(500);
    connect(&m_panelCheck, &QTimer::timeout, this, &VenueWindow::checkPanels);

    // Ctrl+Q closes the window, keeping its size and column widths.
    auto *quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);

    restoreLayout();
    updateBar();
    updateButtons();
}

VenueWindow::~VenueWindow() = default;

void VenueWindow::projectorChanged(int index)
{
    m_model->refresh(index);
    // The bar reads every row: with hundreds of projectors it is worked out
    // once for the changes that come together, not once per exchange.
    if (!m_barPending.isActive())
        m_barPending.start();
}

void VenueWindow::exchanged(int index, const VenueLine::Done &done)
{
    const QString time = LineLog::timeText(QDateTime::currentDateTime());
    std::deque<QString> &log = m_log[index];
    QStringList lines;
    if (!done.sentText.isEmpty())
        lines << tr("%1  sent      %2").arg(time, done.sentText.trimmed());
    switch (done.result) {
    case VenueLine::Result::Answered:
        lines << tr("%1  received  %2").arg(time, done.replyText.trimmed());
        if (done.status && !done.status->isEmpty())
            lines << tr("%1  status    %2").arg(time, *done.status);
        break;
    case VenueLine::Result::NoAnswer:
        if (!done.replyText.isEmpty())
            lines << tr("%1  received  %2").arg(time, done.replyText.trimmed());
        lines << tr("%1  no answer").arg(time);
        break;
    case VenueLine::Result::PortFailed:
        lines << tr("%1  port      %2").arg(time, done.failure);
        break;
    }
    for (const QString &line : lines) {
        log.push_back(line);
        if (QPlainTextEdit *view = m_logViews.value(index))
            view->appendPlainText(line);
    }
    while (log.size() > size_t(LogLimit))
        log.pop_front();
    projectorChanged(index);
}

void VenueWindow::setNotWatched(const QList<VenueProjector> &projectors)
{
    m_notWatched = projectors;
    updateBar();
}

void VenueWindow::updateBar()
{
    // A projector whose line is wrong in the settings file has no row to
    // show it: it comes first, so that it is not lost behind the others.
    QStringList names;
    for (const VenueProjector &p : std::as_const(m_notWatched))
        names << tr("%1 (not watched: %2)").arg(p.name, p.error);
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const QStringList problems = m_model->problems(row);
        if (!problems.isEmpty())
            names << QStringLiteral("%1 (%2)").arg(m_watcher.watched()[row].projector.name,
                                                   problems.join(QStringLiteral(", ")));
    }
    const int count = int(names.size());
    QString text;
    if (count == 0 && m_model->rowCount() == 0)
        text = tr("No projectors to watch: list them in [Projectors] in %1")
                   .arg(QDir::toNativeSeparators(
                       SettingsStore::fileName(QString::fromLatin1(SettingsStore::kApplication))));
    else if (count == 0)
        text = tr("All is well: no projector needs attention");
    else if (count == 1)
        text = tr("1 projector needs attention");
    else
        text = tr("%1 projectors need attention").arg(count);
    if (!names.isEmpty())
        text += QStringLiteral(": ") + names.join(QStringLiteral("; "));
    if (text == m_bar->text())
        return;
    m_bar->setText(text);
    m_bar->setToolTip(text);
    QPalette palette = m_bar->palette();
    palette.setColor(QPalette::Window, count ? QColor(0xFF, 0xC0, 0xC0) : QColor(0xC0, 0xF0, 0xC0));
    palette.setColor(QPalette::WindowText, Qt::black);
    m_bar->setPalette(palette);
    m_bar->setAccessibleDescription(text);
}

void VenueWindow::updateButtons()
{
    const QList<int> chosen = selectedProjectors();
    m_powerOn->setEnabled(!chosen.isEmpty());
    m_powerOff->setEnabled(!chosen.isEmpty());
    // One panel per line: a second one could not open the port, and the
    // first one's end would give the line back under it.
    m_openPanel->setEnabled(chosen.size() == 1 && !m_watcher.lent(chosen.first()));
}

QList<int> VenueWindow::selectedProjectors() const
{
    QList<int> list;
    for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
        list << m_proxy->mapToSource(index).row();
    std::sort(list.begin(), list.end());
    return list;
}

QList<int> VenueWindow::chosenForPower(const QString &action)
{
    QList<int> chosen;
    QStringList held;
    for (const int index : selectedProjectors()) {
        if (m_model->inPanel(index))
            held << m_watcher.watched()[index].projector.name;
        else
            chosen << index;
    }
    // A panel holds those lines: a command from here could only fail, and
    // the person at the panel decides what the projector does.
    if (!held.isEmpty()) {
        QMessageBox::information(
            this, action,
            tr("Left alone, because a control panel holds the line: %1. Use the panel, or close "
               "it first.")
                .arg(held.join(QStringLiteral(", "))));
    }
    return chosen;
}

void VenueWindow::powerOn()
{
    for (const int index : chosenForPower(tr("Power on")))
        m_watcher.send(index, QStringLiteral("C00"));
}

void VenueWindow::powerOff()
{
    const QList<int> chosen = chosenForPower(tr("Power off"));
    if (chosen.isEmpty())
        return;
    QStringList names;
    for (const int index : chosen)
        names << m_watcher.watched()[index].projector.name;
    QMessageBox ask(QMessageBox::Question, tr("Power off"),
                    tr("Power off %1?").arg(names.join(QStringLiteral(", "))),
                    QMessageBox::Yes | QMessageBox::No, this);
    ask.setDefaultButton(QMessageBox::No);
    if (ask.exec() != QMessageBox::Yes)
        return;
    for (const int index : chosen)
        m_watcher.send(index, QStringLiteral("C01"));
}

void VenueWindow::openPanel()
{
    const QList<int> chosen = selectedProjectors();
    if (chosen.size() != 1 || m_watcher.lent(chosen.first()))
        return;
    const int index = chosen.first();
    // The panel gets the line to itself: the watcher starts nothing more on
    // it, and the panel starts once the exchange under way has ended.
    m_watcher.lend(index, true);
    m_panels.insert(index, 0);
    m_model->refreshAll(); // the rows of its line read "in the panel"
    updateButtons();
    startPanel(index);
}

void VenueWindow::startPanel(int index)
{
    if (m_watcher.lineBusy(index)) {
        QTimer::singleShot(50, this, [this, index]() { startPanel(index); });
        return;
    }
    qint64 pid = 0;
    const QString name = m_watcher.watched()[index].projector.name;
    if (!QProcess::startDetached(panelProgram(), {QStringLiteral("--projector"), name}, QString(),
                                 &pid)) {
        QMessageBox::warning(this, tr("Open panel"),
                             tr("The control panel for %1 could not be started.").arg(name));
        pid = 0;
    }
    m_panels.insert(index, pid);
    checkPanels();
    if (m_panels.contains(index))
        m_panelCheck.start();
}

void VenueWindow::checkPanels()
{
    for (auto it = m_panels.begin(); it != m_panels.end();) {
        if (it.value() == 0 && m_watcher.lineBusy(it.key())) {
            ++it; // still waiting for the line
            continue;
        }
        if (panelRunning(it.value())) {
            ++it;
            continue;
        }
        m_watcher.lend(it.key(), false);
        m_model->refreshAll();
        it = m_panels.erase(it);
    }
    if (m_panels.isEmpty())
        m_panelCheck.stop();
    updateButtons();
}

void VenueWindow::showLog(int index)
{
    if (index < 0 || index >= int(m_watcher.watched().size()))
        return;
    if (QPlainTextEdit *view = m_logViews.value(index)) {
        view->window()->raise();
        view->window()->activateWindow();
        return;
    }
    const QString name = m_watcher.watched()[index].projector.name;
    auto *dialog = new QDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(tr("%1: recent exchanges").arg(name));
    auto *view = new QPlainTextEdit(dialog);
    view->setReadOnly(true);
    view->setMaximumBlockCount(LogLimit);
    view->setAccessibleName(tr("Recent exchanges with %1").arg(name));
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    view->setFont(fixed);
    for (const QString &line : m_log.value(index))
        view->appendPlainText(line);
    auto *close = new QPushButton(tr("Close"), dialog);
    close->setAccessibleName(tr("Close"));
    connect(close, &QPushButton::clicked, dialog, &QDialog::close);
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(view);
    layout->addWidget(close, 0, Qt::AlignRight);
    dialog->resize(720, 420);
    m_logViews.insert(index, view);
    connect(dialog, &QObject::destroyed, this, [this, index]() { m_logViews.remove(index); });
    dialog->show();
}

void VenueWindow::restoreLayout()
{
    const QString app = QString::fromLatin1(SettingsStore::kApplication);
    const QStringList stored = SettingsStore::read(app, kSection, {kSize, kColumns}, QString());
    const QStringList size = stored[0].split(QLatin1Char(','));
    bool okWidth = false;
    bool okHeight = false;
    const int width = size.value(0).trimmed().toInt(&okWidth);
    const int height = size.value(1).trimmed().toInt(&okHeight);
    if (okWidth && okHeight && width >= 200 && height >= 150 && width <= 10000 && height <= 10000)
        resize(width, height);
    else
        resize(1240, 420); // the columns' first widths, side by side
    // Widths that fit the usual contents, for the columns not stored.
    static constexpr int kWidths[VenueModel::ColumnCount] = {140, 240, 190, 160, 60, 150, 160, 100};
    const QStringList columns = stored[1].split(QLatin1Char(','));
    for (int i = 0; i < VenueModel::ColumnCount; ++i) {
        bool ok = false;
        const int w = columns.value(i).trimmed().toInt(&ok);
        m_table->setColumnWidth(i, ok && w >= 10 && w <= 2000 ? w : kWidths[i]);
    }
}

void VenueWindow::saveLayout()
{
    const QString app = QString::fromLatin1(SettingsStore::kApplication);
    QStringList columns;
    for (int i = 0; i < VenueModel::ColumnCount; ++i)
        columns << QString::number(m_table->columnWidth(i));
    const QString size = QStringLiteral("%1,%2").arg(width()).arg(height());
    const QStringList stored = SettingsStore::read(app, kSection, {kSize, kColumns}, QString());
    // Written only when it changed: the file is the user's too.
    if (stored[0] != size)
        SettingsStore::save(app, kSection, kSize, size);
    if (stored[1] != columns.join(QLatin1Char(',')))
        SettingsStore::save(app, kSection, kColumns, columns.join(QLatin1Char(',')));
}

void VenueWindow::closeEvent(QCloseEvent *event)
{
    saveLayout();
    for (QPlainTextEdit *view : std::as_const(m_logViews))
        view->window()->close();
    QWidget::closeEvent(event);
}
