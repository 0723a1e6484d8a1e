#include "cli/search.h"

#include "protocol/catalogue.h"

namespace CatalogueSearch {

namespace {

void addRows(const QStringList &rows, const QString &list, QList<Entry> &out)
{
    QString topic;
    for (const QString &row : rows) {
        Entry e;
        e.list = list;
        e.command = Catalogue::commandPart(row).trimmed();
        // After the command: its "[CR]" mark, blanks or tabs, then ":" (one
        // row has ";") and the description.
        const qsizetype bracket = row.indexOf(QLatin1Char('['));
        QString rest = bracket < 0 ? QString() : row.mid(bracket);
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        rest = close < 0 ? QString() : rest.mid(close + 1).trimmed();
        if (rest.startsWith(QLatin1Char(':')) || rest.startsWith(QLatin1Char(';')))
            rest = rest.mid(1).trimmed();
        // Placeholder notes ("% = 0-9") explain a row; they head no group.
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char('%')))
            topic = rest;
        e.description = rest.isEmpty() ? topic : rest;
        e.topic = topic;
        out.append(e);
    }
}

} // namespace

QList<Entry> entries()
{
    QList<Entry> out;
    addRows(Catalogue::basicRows(), QStringLiteral("basic"), out);
    addRows(Catalogue::settingRows(), QStringLiteral("setting"), out);
    addRows(Catalogue::readRows(), QStringLiteral("read"), out);
    return out;
}

QList<Entry> find(const QStringList &words)
{
    QList<Entry> out;
    for (const Entry &e : entries()) {
        bool all = true;
        for (const QString &word : words) {
            if (!e.command.contains(word, Qt::CaseInsensitive)
                && !e.description.contains(word, Qt::CaseInsensitive)
                && !e.topic.contains(word, Qt::CaseInsensitive)) {
                all = false;
                break;
            }
        }
        if (all)
            out.append(e);
    }
    return out;
}

} // namespace CatalogueSearch
