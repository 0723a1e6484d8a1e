#pragma once

#include "projectors/watcher.h"

#include <QAbstractTableModel>

#include <optional>

// The venue as a table, one row per watched projector, read from the
// watcher as it is now. Every cell is plain text; a cell that needs
// attention (a fault, a lost link, lamp hours above the warning) carries
// the words that say so and a warning colour. Each cell's accessible
// description tells the whole row, for a screen reader.
class VenueModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Name,
        Port,
        Link,
        Power,
        Input,
        LampHours,
        Temperatures,
        LastAnswer,
        ColumnCount
    };
    // The value a column sorts by (numbers as numbers).
    static constexpr int SortRole = Qt::UserRole;

    VenueModel(const Watcher &watcher, std::optional<int> lampWarnHours, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Row |row| changed in the watcher: its cells are read again.
    void refresh(int row);
    // Every row is read again (a line lent or given back, say).
    void refreshAll();
    // Whether the projector of |row| has its line held by a panel: the
    // watcher has lent it.
    bool inPanel(int row) const { return m_watcher.lent(row); }

    // Why the projector of |row| needs attention, in words; empty when it
    // does not.
    QStringList problems(int row) const;
    // "Hall A: link open, power on, input 2, lamp 1234 h, 35.0/41.5/38.0 °C,
    // last answer 10:02:03"
    QString rowDescription(int row) const;

private:
    QString text(int row, int column) const;
    bool flagged(int row, int column) const;

    const Watcher &m_watcher;
    const std::optional<int> m_lampWarnHours;
};
