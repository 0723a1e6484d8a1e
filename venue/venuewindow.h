#pragma once

#include "projectors/watcher.h"

#include <QHash>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class VenueModel;

// The venue window: every watched projector in one table kept up to date by
// the watcher, a bar that counts the projectors needing attention, a filter,
// and buttons that act on the selected rows. Its size and column widths are
// kept in the settings file's [VenueWindow] section.
class VenueWindow : public QWidget
{
    Q_OBJECT

public:
    // Exchanges kept per projector for its log.
    static constexpr int LogLimit = 400;

    VenueWindow(Watcher &watcher, std::optional<int> lampWarnHours, QWidget *parent = nullptr);
    ~VenueWindow() override;

    // The venue's lines that cannot be watched (a bad port, a clash with
    // another projector), each told in the bar with its reason.
    void setNotWatched(const QList<VenueProjector> &projectors);

    // The projectors (watcher indexes) of the selected rows.
    QList<int> selectedProjectors() const;
    // "Power on" and "Power off" (which asks first) on the selected rows.
    void powerOn();
    void powerOff();
    // "Open panel": the control panel for the selected projector.
    void openPanel();
    // The recent exchanges of projector |index| in a window of their own.
    void showLog(int index);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void projectorChanged(int index);
    void exchanged(int index, const VenueLine::Done &done);
    void updateBar();
    void updateButtons();
    // The selected projectors that a power command may go to: those whose
    // line no panel holds. The others are named in a message.
    QList<int> chosenForPower(const QString &action);
    void checkPanels();
    void startPanel(int index);
    void restoreLayout();
    void saveLayout();

    Watcher &m_watcher;
    VenueModel *m_model = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    QLabel *m_bar = nullptr;
    QLineEdit *m_filter = nullptr;
    QTableView *m_table = nullptr;
    QPushButton *m_powerOn = nullptr;
    QPushButton *m_powerOff = nullptr;
    QPushButton *m_openPanel = nullptr;
    // The recent exchanges by projector, oldest first.
    QHash<int, std::deque<QString>> m_log;
    // The open log windows by projector.
    QHash<int, QPlainTextEdit *> m_logViews;
    // The panels started from here and still running, by projector.
    QHash<int, qint64> m_panels;
    QTimer m_panelCheck;
    QTimer m_barPending; // the bar is worked out again when it runs out
    QList<VenueProjector> m_notWatched;
};
