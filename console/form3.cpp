#include "form3.h"

#include "form1.h"

Form3::Form3(Form1 &main)
    : QWidget(&main, Qt::Window)
    , m_main(main)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Command List"));
}

void Form3::commandTable(Form1 &main)
{
    if (!main.console) {
        auto *console = new Form3(main);
        console->setAttribute(Qt::WA_DeleteOnClose);
        main.console = console;
    }
    main.console->show();
    main.console->raise();
    main.console->activateWindow();
}
