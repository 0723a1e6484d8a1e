#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QWidget>

class QLabel;

#include <functional>

// Points the settings store at a private, empty folder for the whole test
// program. Call before anything reads settings; the folder is removed when
// the program ends.
namespace TestEnv {

void usePrivateSettings();
QString settingsFile();

// Replaces the whole store with |keys| ("Section/Key" -> text).
void seed(const QList<std::pair<QString, QString>> &keys);
void clearStore();
QString stored(const QString &sectionKey, const QString &absent = QStringLiteral("<absent>"));

// The bytes of the file at |path| ("<unreadable>" when it cannot be read),
// and a file written whole; false when it could not be.
QByteArray fileBytes(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);

// Runs the current test function's current row of this test program again
// in a child process as the unprivileged user nobody, so that file
// permissions hold for it as they do for any user (root passes them by),
// with |environment| added to its own. Returns the child's exit code, or -1
// when no such child could run (no setpriv, no change of user, no end within
// a minute); |output| gets what it printed.
int runUnprivileged(QString *output, const QList<std::pair<QString, QString>> &environment = {});
// True when file permissions do not stop this process (it runs as root).
bool permissionsIgnored();

// Answers the next modal dialog that opens: |answer| runs with it (closing
// it, clicking a button...) once it is the active modal widget. In every test
// program with a window, a modal window that stays open five seconds while no
// answer deals with it fails the running test with its title and texts, and
// is closed, so that no test waits on it for good.
void whenModal(std::function<void(QWidget *)> answer);

// Whether |label| draws its text exactly as written, as a label with the
// same look that takes its text as plain text would: no part of it read as
// markup.
bool showsTextAsWritten(const QLabel *label);

} // namespace TestEnv

// Ends the current test function with the verdict of its current row run
// again as nobody (see runUnprivileged); skipped where that cannot run.
#define ORVA_VERDICT_AS_UNPRIVILEGED() \
    do { \
        QString unprivilegedOutput; \
        const int unprivilegedCode = TestEnv::runUnprivileged(&unprivilegedOutput); \
        if (unprivilegedCode < 0) \
            QSKIP("root cannot run this case as another user here"); \
        QVERIFY2(unprivilegedCode == 0, qPrintable(unprivilegedOutput)); \
        return; \
    } while (false)
