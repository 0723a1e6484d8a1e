#include "venue/venuemodel.h"

#include <QColor>
#include <QDate>

namespace {

QString powerWords(const QString &power)
{
    if (power == QLatin1String("countdown"))
        return VenueModel::tr("count down");
    if (power == QLatin1String("cooling"))
        return VenueModel::tr("cooling down");
    if (power == QLatin1String("power-fault"))
        return VenueModel::tr("power abnormality");
    if (power == QLatin1String("temperature-fault"))
        return VenueModel::tr("temperature abnormality");
    if (power == QLatin1String("lamp-fault"))
        return VenueModel::tr("lamp failure");
    return power; // on, standby, unknown
}

QString temperatureText(double celsius)
{
    return QString::number(celsius, 'f', 1);
}

} // namespace

VenueModel::VenueModel(const Watcher &watcher, std::optional<int> lampWarnHours, QObject *parent)
    : QAbstractTableModel(parent)
    , m_watcher(watcher)
    , m_lampWarnHours(lampWarnHours)
{}

int VenueModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_watcher.watched().size());
}

int VenueModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString VenueModel::text(int row, int column) const
{
    const Watcher::Watched &w = m_watcher.watched()[row];
    const ProjectorState &s = w.state;
    switch (column) {
    case Name:
        return w.projector.name;
    case Port:
        return w.projector.port == w.projector.device
                   ? w.projector.port
                   : QStringLiteral("%1 (%2)").arg(w.projector.port, w.projector.device);
    case Link:
        // The panel holds the line: nothing is asked meanwhile.
        if (inPanel(row))
            return tr("in the panel");
        switch (w.link) {
        case Watcher::Link::Open:
            return w.silent ? tr("silent") : tr("open");
        case Watcher::Link::Lost:
            return w.waiting ? tr("lost, waiting to reconnect") : tr("lost");
        case Watcher::Link::InUse:
            return tr("in use");
        case Watcher::Link::Unknown:
            break;
        }
        return tr("not asked yet");
    case Power:
        return s.power ? powerWords(*s.power) : QString();
    case Input:
        return s.input.value_or(QString());
    case LampHours:
        if (!s.lampHours)
            return QString();
        if (m_lampWarnHours && *s.lampHours >= *m_lampWarnHours)
            return tr("%1 h, above %2 h").arg(*s.lampHours).arg(*m_lampWarnHours);
        return tr("%1 h").arg(*s.lampHours);
    case Temperatures:
        if (!s.temperatures)
            return QString();
        return QStringLiteral("%1/%2/%3 °C")
            .arg(temperatureText((*s.temperatures)[0]), temperatureText((*s.temperatures)[1]),
                 temperatureText((*s.temperatures)[2]));
    case LastAnswer:
        if (!w.lastAnswer.isValid())
            return tr("none yet");
        return w.lastAnswer.date() == QDate::currentDate()
                   ? w.lastAnswer.toString(QStringLiteral("HH:mm:ss"))
                   : w.lastAnswer.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    return QString();
}

bool VenueModel::flagged(int row, int column) const
{
    const Watcher::Watched &w = m_watcher.watched()[row];
    const ProjectorState &s = w.state;
    switch (column) {
    case Link:
        return w.link == Watcher::Link::Lost || (w.link == Watcher::Link::Open && w.silent);
    case Power:
        return s.power && s.power->endsWith(QLatin1String("-fault"));
    case LampHours:
        return m_lampWarnHours && s.lampHours && *s.lampHours >= *m_lampWarnHours;
    default:
        return false;
    }
}

QStringList VenueModel::problems(int row) const
{
    QStringList list;
    for (const int column : {Link, Power, LampHours}) {
        if (flagged(row, column))
            list << text(row, column);
    }
    return list;
}

QString VenueModel::rowDescription(int row) const
{
    const auto shown = [&](int column) {
        const QString t = text(row, column);
        return t.isEmpty() ? QStringLiteral("?") : t;
    };
    QString d = tr("%1: link %2, power %3, input %4, lamp %5, temperatures %6, last answer %7")
                    .arg(shown(Name), shown(Link), shown(Power), shown(Input), shown(LampHours),
                         shown(Temperatures), shown(LastAnswer));
    const QStringList p = problems(row);
    if (!p.isEmpty())
        d += tr("; needs attention: %1").arg(p.join(QStringLiteral(", ")));
    return d;
}

QVariant VenueModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return QVariant();
    const int row = index.row();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return text(row, column);
    case Qt::ToolTipRole: {
        // A line that failed says why where the pointer rests on its link.
        const Watcher::Watched &w = m_watcher.watched()[row];
        if (column == Link && !inPanel(row) && !w.linkReason.isEmpty()
            && w.link != Watcher::Link::Open)
            return tr("%1: %2").arg(text(row, column), w.linkReason);
        return text(row, column);
    }
    case Qt::AccessibleDescriptionRole:
        return rowDescription(row);
    case SortRole: {
        const Watcher::Watched &w = m_watcher.watched()[row];
        if (column == LampHours)
            return w.state.lampHours ? QVariant(*w.state.lampHours) : QVariant(-1);
        if (column == Temperatures)
            return w.state.temperatures ? QVariant((*w.state.temperatures)[0]) : QVariant(-300.0);
        // The time itself (none yet sorts first): its milliseconds since the
        // epoch are worked out from the local time at every call, which made
        // sorting by this column several times slower than by any other.
        if (column == LastAnswer)
            return w.lastAnswer;
        return text(row, column);
    }
    case Qt::BackgroundRole:
        return flagged(row, column) ? QVariant(QColor(0xFF, 0xC0, 0xC0)) : QVariant();
    case Qt::ForegroundRole:
        return flagged(row, column) ? QVariant(QColor(0x80, 0x00, 0x00)) : QVariant();
    default:
        return QVariant();
    }
}

QVariant VenueModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Name:
        return tr("Name");
    case Port:
        return tr("Port");
    case Link:
        return tr("Link");
    case Power:
        return tr("Power");
    case Input:
        return tr("Input");
    case LampHours:
        return tr("Lamp hours");
    case Temperatures:
        return tr("Temperatures");
    case LastAnswer:
        return tr("Last answer");
    }
    return QVariant();
}

void VenueModel::refresh(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void VenueModel::refreshAll()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}
