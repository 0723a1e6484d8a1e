#pragma once

#include <QStringList>

// The projector's command catalogue as shown in the command console: three
// fixed lists of display rows ("<command>[CR]<separator>:<description>").
namespace Catalogue {

QStringList basicRows();   // 45 basic commands
QStringList settingRows(); // 362 expanded setting commands
QStringList readRows();    // 99 expanded read commands

// The text to send for a row: everything before its first '['; the whole text
// when it has none. Nothing is trimmed or changed.
QString commandPart(const QString &row);

} // namespace Catalogue
