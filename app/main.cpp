#include "form1.h"
#include "startupmark.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Form1 window;
    StartupMark::watch(&window);
    window.Form_Load();
    window.show();
    return app.exec();
}
