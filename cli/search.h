#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The command catalogue as command and description pairs, searchable by
// words.
namespace CatalogueSearch {

struct Entry {
    QString command;     // what to send (may hold "%" placeholders)
    QString description; // its own text, or the heading of its group
    QString list;        // "basic", "setting" or "read"
    QString topic;       // the heading the entry stands under
};

// Every catalogue row in display order. A row without a description of its
// own (the second and later rows of a group) takes the group's heading; a
// row whose description only explains its placeholders keeps it and is
// still found by the heading.
QList<Entry> entries();

// The entries whose command, description or heading holds every word
// (ignoring case); all of them for no words.
QList<Entry> find(const QStringList &words);

} // namespace CatalogueSearch
