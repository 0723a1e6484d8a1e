#include "form2.h"

#include "form1.h"

Form2::Form2(Form1 &main)
    : QDialog(&main)
    , m_main(main)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("  COM PORT"));
}

void Form2::showModal(Form1 &main)
{
    Form2 dialog(main);
    dialog.exec();
}

void Form2::comButton(Form1 &main)
{
    if (main.MSComm1.portOpen())
        main.MSComm1.setPortOpen(false);
    main.PrevBaudCode = main.BaudCode;
    main.PrevComPortNo = main.ComPortNo;
    if (!main.portDialog) {
        auto *dialog = new Form2(main);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        main.portDialog = dialog;
    }
    main.portDialog->show();
    main.portDialog->raise();
    main.portDialog->activateWindow();
}
