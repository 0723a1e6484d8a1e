// orva-screenshot: saves a picture of the main window at its full height,
// with an answered STATUS query on the monitor lines, to the PNG file named
// on the command line. scripts/screenshot runs it under Xvfb.
#include "panel/form1.h"
#include "protocol/render.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: orva-screenshot <file.png>\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);

    Form1 window;
    window.setOuterHeightTwips(Form1::FullHeight);
    // What the monitor area shows after "STATUS" was answered "00".
    Render::Legends legends = Render::NoLegend;
    window.setSentText(Render::render(u"CR0\r", &legends));
    window.setReceivedText(Render::render(u"00\r", &legends));
    window.setStatusText(QStringLiteral(" Power ON"));
    window.setLegendVisible(Render::CrLegend, true);
    window.show();

    int status = 1;
    // Give the window system time to map and paint the window.
    QTimer::singleShot(500, &window, [&]() {
        status = window.grab().save(file, "PNG") ? 0 : 1;
        if (status != 0)
            std::fprintf(stderr, "orva-screenshot: cannot write %s\n", argv[1]);
        app.quit();
    });
    app.exec();
    return status;
}
