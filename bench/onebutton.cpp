// The yardstick for start-up time: a Qt Widgets program with one button and
// nothing else, with the same start-up mark as ORVA.
#include "app/startupmark.h"

#include <QApplication>
#include <QPushButton>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QPushButton button(QStringLiteral("OK"));
    StartupMark::watch(&button);
    button.show();
    return app.exec();
}
