#include "protocol/catalogue.h"

#include <QSet>
#include <QtTest>

#include <iterator>

namespace {

// The command each row must yield, kept apart from the display rows so that a
// slip in either shows up as a mismatch. The comment gives the row of the
// first entry on each line.
// clang-format off
const char *const kBasicCommands[] = {
    "C00", "C01", "C05", "C06", "C07", "C08", "C0D", "C0E", // 0
    "C0F", "C10", "C1C", "C1D", "C1E", "C27", "C30", "C31", // 8
    "C3A", "C3B", "C3C", "C3D", "C3F", "C43", "C44", "C46", // 16
    "C47", "C4A", "C4B", "C5D", "C5E", "C5F", "C60", "C89", // 24
    "C8A", "C8E", "C8F", "C90", "C91", "CR0", "CR1", "CR3", // 32
    "CR4", "CR6", "CR7", "CR9", "CRA", // 40
};

const char *const kSettingCommands[] = {
    "CF CONT UP", "CF CONT DN", "CF CONT 0%%", // 0
    "CF BRIGHT UP", "CF BRIGHT DN", "CF BRIGHT 0%%", // 3
    "CF COLOR UP", "CF COLOR DN", "CF COLOR 0%%", // 6
    "CF TINT UP", "CF TINT DN", "CF TINT 0%%", // 9
    "CF COLMNSAV 00%", // 12
    "CF COLMNLD 00%", // 13
    "CF APCTRL L1", "CF APCTRL L2", "CF APCTRL OFF", "CF APCTRL UP", "CF APCTRL DN", // 14
    "CF COLTEMP 000", "CF COLTEMP 001", "CF COLTEMP 002", "CF COLTEMP 003", // 19
    "CF WBAL-R UP", "CF WBAL-R DN", "CF WBAL-R 0%%", // 23
    "CF WBAL-G UP", "CF WBAL-G DN", "CF WBAL-G 0%%", // 26
    "CF WBAL-B UP", "CF WBAL-B DN", "CF WBAL-B 0%%", // 29
    "CF OFFSET-R UP", "CF OFFSET-R DN", "CF OFFSET-R 0%%", // 32
    "CF OFFSET-G UP", "CF OFFSET-G DN", "CF OFFSET-G 0%%", // 35
    "CF OFFSET-B UP", "CF OFFSET-B DN", "CF OFFSET-B 0%%", // 38
    "CF SHARP UP", "CF SHARP DN", "CF SHARP 0%%", // 41
    "CF GAMMA UP", "CF GAMMA DN", "CF GAMMA 0%%", // 44
    "CF NZRED ON", "CF NZRED OFF", // 47
    "CF PROGV ON", "CF PROGV FILM", "CF PROGV OFF", // 49
    "CF IMAGE STAND", "CF IMAGE REAL", "CF IMAGE CINEMA", "CF IMAGE CUSTOM1", "CF IMAGE CUSTOM2", "CF IMAGE CUSTOM3", // 52
    "CF IMAGE CUSTOM4", "CF IMAGE CUSTOM5", "CF IMAGE CUSTOM6", "CF IMAGE CUSTOM7", "CF IMAGE CUSTOM8", "CF IMAGE CUSTOM9", // 58
    "CF IMAGE CUSTOM10", // 64
    "CF IMAGEADJ RST", "CF IMAGEADJ STR1", "CF IMAGEADJ STR2", "CF IMAGEADJ STR3", "CF IMAGEADJ STR4", "CF IMAGEADJ STR5", // 65
    "CF IMAGEADJ STR6", "CF IMAGEADJ STR7", "CF IMAGEADJ STR8", "CF IMAGEADJ STR9", "CF IMAGEADJ STR10", // 71
    "CF ADVCOL AUTO", "CF ADVCOL OFF", "CF ADVCOL UP", "CF ADVCOL DN", // 76
    "CF FSYNC UP", "CF FSYNC DN", "CF FSYNC 00%%", // 80
    "CF TDOTS UP", "CF TDOTS DN", "CF TDOTS %%%%", // 83
    "CF H-POS UP", "CF H-POS DN", "CF H-POS %%%%", // 86
    "CF V-POS UP", "CF V-POS DN", "CF V-POS %%%%", // 89
    "CF CLAMP UP", "CF CLAMP DN", "CF CLAMP %%%%", // 92
    "CF DDOTS UP", "CF DDOTS DN", "CF DDOTS %%%%", // 95
    "CF DLINE UP", "CF DLINE DN", "CF DLINE %%%%", // 98
    "CF SETPCADJ XGA1", "CF SETPCADJ HDTV1080", "CF SETPCADJ MODE1", "CF SETPCADJ EXT11", // 101
    "CF ORGMODE VGA1", "CF ORGMODE XGA1", "CF ORGMODE WXGA3", "CF ORGMODE 1080I60", "CF ORGMODE 1080I50", "CF ORGMODE 1035I", // 105
    "CF ORGMODE 720P60", "CF ORGMODE 720P50", "CF ORGMODE 575P", "CF ORGMODE 480P", "CF ORGMODE 575I", "CF ORGMODE 480I", // 111
    "CF ORGMODE 1080PSF/24", "CF ORGMODE 1080PSF/25", "CF ORGMODE 1080PSF/30", "CF ORGMODE 1080P24", "CF ORGMODE 1080P25", "CF ORGMODE 1080P30", // 117
    "CF ORGMODE 1080P50", "CF ORGMODE 1080P60", // 123
    "CF PCSTORE MODE1", "CF PCSTORE MODE2", "CF PCSTORE MODE3", "CF PCSTORE MODE4", "CF PCSTORE MODE5", "CF PCSTORE MODE6", // 125
    "CF PCSTORE MODE7", "CF PCSTORE MODE8", "CF PCSTORE MODE9", "CF PCSTORE MODE10", // 131
    "CF PCMODEFREE MODE1", "CF PCMODEFREE MODE2", "CF PCMODEFREE MODE3", "CF PCMODEFREE MODE4", "CF PCMODEFREE MODE5", "CF PCMODEFREE MODE6", // 135
    "CF PCMODEFREE MODE7", "CF PCMODEFREE MODE8", "CF PCMODEFREE MODE9", "CF PCMODEFREE MODE10", // 141
    "CF INPUT 1", "CF INPUT 2", "CF INPUT 3", "CF INPUT 4", "CF INPUT UP", "CF INPUT DN", // 145
    "CF SOURCE DIGITAL", "CF SOURCE ANALOG", "CF SOURCE VIDEO", "CF SOURCE S-VIDEO", "CF SOURCE YPBPR", "CF SOURCE YCBCR", // 151
    "CF SOURCE SDI1", "CF SOURCE SDI2", "CF SOURCE SCART", "CF SOURCE HDCP", "CF SOURCE HDWL", // 157
    "CF INPUT1 DIGITAL", "CF INPUT1 ANALOG", "CF INPUT1 VIDEO", "CF INPUT1 S-VIDEO", "CF INPUT1 YPBPR", "CF INPUT1 YCBCR", // 162
    "CF INPUT1 SDI1", "CF INPUT1 SDI2", "CF INPUT1 SCART", "CF INPUT1 HDCP", "CF INPUT1 HDWL", // 168
    "CF INPUT2 DIGITAL", "CF INPUT2 ANALOG", "CF INPUT2 VIDEO", "CF INPUT2 S-VIDEO", "CF INPUT2 YPBPR", "CF INPUT2 YCBCR", // 173
    "CF INPUT2 SDI1", "CF INPUT2 SDI2", "CF INPUT2 SCART", "CF INPUT2 HDCP", "CF INPUT2 HDWL", // 179
    "CF INPUT3 DIGITAL", "CF INPUT3 ANALOG", "CF INPUT3 VIDEO", "CF INPUT3 S-VIDEO", "CF INPUT3 YPBPR", "CF INPUT3 YCBCR", // 184
    "CF INPUT3 SDI1", "CF INPUT3 SDI2", "CF INPUT3 SCART", "CF INPUT3 HDCP", "CF INPUT3 HDWL", // 190
    "CF INPUT4 DIGITAL", "CF INPUT4 ANALOG", "CF INPUT4 VIDEO", "CF INPUT4 S-VIDEO", "CF INPUT4 YPBPR", "CF INPUT4 YCBCR", // 195
    "CF INPUT4 SDI1", "CF INPUT4 SDI2", "CF INPUT4 SCART", "CF INPUT4 HDCP", "CF INPUT4 HDWL", // 201
    "CF SYSTEM VGA1", "CF SYSTEM XGA1", "CF SYSTEM D-XGA", "CF SYSTEM D-WXGA3", "CF SYSTEM AUTO", "CF SYSTEM NTSC", // 206
    "CF SYSTEM NTSC443", "CF SYSTEM PAL", "CF SYSTEM SECAM", "CF SYSTEM PAL-M", "CF SYSTEM PAL-N", "CF SYSTEM 1080I", // 212
    "CF SYSTEM 1035I", "CF SYSTEM 720P", "CF SYSTEM 575P", "CF SYSTEM 480P", "CF SYSTEM 575I", "CF SYSTEM 480I", // 218
    "CF SCREEN NORMAL", "CF SCREEN TRUE", "CF SCREEN WIDE", "CF SCREEN FULL", "CF SCREEN CUSTOM", "CF SCREEN DZOOM UP", // 224
    "CF SCREEN DZOOM DN", "CF SCREEN UP", "CF SCREEN DN", // 230
    "CF DZCENT CENT", // 233
    "CF KEYSTONE UP", "CF KEYSTONE FUP", "CF KEYSTONE DN", "CF KEYSTONE FDN", "CF KEYSTONE LEFT", "CF KEYSTONE FLFT", // 234
    "CF KEYSTONE RIGHT", "CF KEYSTONE FRGT", "CF KEYSTONE RST", // 240
    "CF KYSTNMODE STR", "CF KYSTNMODE RST", // 243
    "CF CEIL ON", "CF CEIL OFF", // 245
    "CF REAR ON", "CF REAR OFF", // 247
    "CF VSCALE UP", "CF VSCALE DN", "CF VSCALE %%%", // 249
    "CF VPOS UP", "CF VPOS DN", "CF VPOS %%%", // 252
    "CF HSCALE UP", "CF HSCALE DN", "CF HSCALE %%%", // 255
    "CF HPOS UP", "CF HPOS DN", "CF HPOS %%%", // 258
    "CF LAMPH RST1", "CF LAMPH RST2", // 261
    "CF LAMPMODE FULL", "CF LAMPMODE HALF", // 263
    "CF AUTOLAMPCONTRL NORMAL", "CF AUTOLAMPCONTRL ECO", "CF AUTOLAMPCONTRL AUTO", // 265
    "CF LANG ENG", // 268
    "CF LANG DEU", // 269
    "CF LANG FRA", // 270
    "CF LANG ITA", // 271
    "CF LANG ESP", // 272
    "CF LANG POR", // 273
    "CF LANG NED", // 274
    "CF LANG SVE", // 275
    "CF LANG JPN", // 276
    "CF LANG CHI", // 277
    "CF LANG KOR", // 278
    "CF LANG RUS", // 279
    "CF DISP ON", "CF DISP CNTDWNOFF", "CF DISP OFF", "CF DISP UP", "CF DISP DN", // 280
    "CF BACKGND BLUE", "CF BACKGND USER", "CF BACKGND BLACK", "CF BACKGND UP", "CF BACKGND DN", // 285
    "CF LOGO %%%% OFF", "CF LOGO %%%% DFLT", "CF LOGO %%%% USER", "CF LOGO %%%% UP", "CF LOGO %%%% DN", // 290
    "CF FANSPEED MAX", "CF FANSPEED NOR", // 295
    "CF RCODE 001", "CF RCODE 002", "CF RCODE 003", "CF RCODE 004", "CF RCODE 005", "CF RCODE 006", // 297
    "CF RCODE 007", "CF RCODE 008", "CF RCODE UP", "CF RCODE DN", // 303
    "CF RSENS BOTH", "CF RSENS FRONT", "CF RSENS BACK", "CF RSENS UP", "CF RSENS DN", // 307
    "CF P-MANE OFF", "CF P-MANE READY", "CF P-MANE SHUTDOWN", "CF P-MANE UP", "CF P-MANE DN", // 312
    "CF P-MANETIME UP", "CF P-MANETIME DN", "CF P-MANETIME %%", // 317
    "CF ON-STA ON", "CF ON-STA OFF", "CF ON-STA UP", "CF ON-STA DN", // 320
    "CF PJPINCODE %%%%", // 324
    "CF FILH RST", // 325
    "CF FILTIMER 0400", "CF FILTIMER 0700", "CF FILTIMER 1000", "CF FILTIMER OFF", // 326
    "CF FILCTL ROLL", // 330
    "CF FILSCRL RST", // 331
    "CF TESTPAT COLOR", "CF TESTPAT GRAD1", "CF TESTPAT GRAD2", "CF TESTPAT GRAD3", "CF TESTPAT GRAD4", "CF TESTPAT WHITE", // 332
    "CF TESTPAT BLACK", "CF TESTPAT CROSS", "CF TESTPAT OFF", "CF TESTPAT UP", "CF TESTPAT DN", // 338
    "CF FDEFAULT RST", // 343
    "CF KEYDIS NONE", "CF KEYDIS RC", "CF KEYDIS KEY", // 344
    "CF SHUTRCPROT ON", "CF SHUTRCPROT OFF", // 347
    "CF SHUTKEYPROT ON", "CF SHUTKEYPROT OFF", // 349
    "CF SHUTH UP", "CF SHUTH DN", "CF SHUTH %%%", // 351
    "CF SHUTTER OPEN", "CF SHUTTER CLOSE", // 354
    "CF HDWLMODE SINGLE", "CF HDWLMODE BROADCAST", // 356
    "CF HDWLAUTH EXECUTE", "CF HDWLAUTH RST", // 358
    "CF HDWLINID %%%%%%%%", // 360
    "CF HDWLFDEF RST", // 361
};

const char *const kReadCommands[] = {
    "CR STATUS", "CR SIGNAL", "CR VMUTE", "CR FREEZE", "CR PTIMER", "CR TEMPWARN", // 0
    "CR TEMPFAIL", "CR SERIALNO", "CR SHUTCOND", "CR HDWLMODE", "CR HDWLAUTH", "CR HDWLINID", // 6
    "CR HDWLRECEPLV", "CR INPUT", "CR SOURCE", "CR SYSTEM", "CR SRCINP1", "CR SRCINP2", // 12
    "CR SRCINP3", "CR SRCINP4", "CR HMSLOT", "CR NMSLOT1", "CR NMSLOT2", "CR NMSLOT3", // 18
    "CR NMSLOT4", "CR IDSLOT1", "CR IDSLOT2", "CR IDSLOT3", "CR IDSLOT4", "CR SCREEN", // 24
    "CR KYSTNMODE", "CR CEIL", "CR REAR", "CR VSCALE", "CR VPOS", "CR HSCALE", // 30
    "CR HPOS", "CR LAMPREPL", "CR LAMPMODE", "CR AUTOLAMPCONTRL", "CR LAMPSTS", "CR INFLAMP", // 36
    "CR PROJH", "CR HMLAMP", "CR LAMPH", "CR FSYNC", "CR TDOTS", "CR CLAMP", // 42
    "CR H-POS", "CR V-POS", "CR DDOTS", "CR DLINE", "CR SETPCADJ", "CR ORGMODE", // 48
    "CR PCSTORE", "CR SERSYS", "CR LANG", "CR DISP", "CR BACKGND", "CR LOGO", // 54
    "CR LOGOLOCK", "CR FANSPEED", "CR RCODE", "CR RSENS", "CR P-MANE", "CR P-MANETIME", // 60
    "CR ON-STA", "CR SECURITY", "CR PJLOCKNOW", "CR PJLOCKMENU", "CR FILH", "CR FILCOND", // 66
    "CR FILREPL", "CR FILTIMER", "CR FILREMAIN", "CR TESTPAT", "CR KEYDIS", "CR SHUTRCPROT", // 72
    "CR SHUTKEYPROT", "CR SHUTH", "CR CONT", "CR BRIGHT", "CR COLOR", "CR TINT", // 78
    "CR APCTRL", "CR COLTEMP", "CR WBAL-R", "CR WBAL-G", "CR WBAL-B", "CR OFFSET-R", // 84
    "CR OFFSET-G", "CR OFFSET-B", "CR SHARP", "CR GAMMA", "CR NZRED", "CR PROGV", // 90
    "CR IMAGE", "CR IMGGMD", "CR ADVCOL", // 96
};

// clang-format on

static_assert(std::size(kBasicCommands) == 45);
static_assert(std::size(kSettingCommands) == 362);
static_assert(std::size(kReadCommands) == 99);

QStringList rowsOf(const QString &list)
{
    if (list == QLatin1String("basic"))
        return Catalogue::basicRows();
    if (list == QLatin1String("setting"))
        return Catalogue::settingRows();
    if (list == QLatin1String("read"))
        return Catalogue::readRows();
    qFatal("unknown list %s", qPrintable(list));
    return {};
}

// Blanks and tabs between the "[CR]" mark and the description's ':' (or ';').
QString separatorOf(const QString &row)
{
    const qsizetype mark = row.indexOf(QLatin1String("[CR]"));
    if (mark < 0)
        return {};
    qsizetype end = mark + 4;
    while (end < row.size()
           && (row.at(end) == QLatin1Char(' ') || row.at(end) == QLatin1Char('\t')))
        ++end;
    return row.mid(mark + 4, end - mark - 4);
}

} // namespace

class TstCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void rowCounts_data();
    void rowCounts();
    void firstAndLastRows_data();
    void firstAndLastRows();
    void commandOfEveryRow_data();
    void commandOfEveryRow();
    void rowLayout_data();
    void rowLayout();
    void oddRows_data();
    void oddRows();
    void placeholderRows_data();
    void placeholderRows();
    void noOtherPlaceholders();
    void commandPart_data();
    void commandPart();

private:
    void compareRow();
};

void TstCatalogue::rowCounts_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("count");
    QTest::newRow("basic") << "basic" << 45;
    QTest::newRow("setting") << "setting" << 362;
    QTest::newRow("read") << "read" << 99;
}

void TstCatalogue::rowCounts()
{
    QFETCH(QString, list);
    QFETCH(int, count);
    QCOMPARE(rowsOf(list).size(), count);
}

void TstCatalogue::firstAndLastRows_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("row");
    QTest::newRow("basic first") << "basic" << 0 << "C00[CR]     :POWER ON";
    QTest::newRow("basic last") << "basic" << 44 << "CRA[CR]     :Status 2 Read";
    QTest::newRow("setting first") << "setting" << 0 << "CF CONT UP[CR]  \t\t:Set Contrast value";
    QTest::newRow("setting last") << "setting" << 361
                                  << "CF HDWLFDEF RST[CR] \t\t:Return the setting to Factory "
                                     "Default status of HD data wireless setting";
    QTest::newRow("read first") << "read" << 0
                                << "CR STATUS[CR] \t:Get setting status of Projector behavior";
    QTest::newRow("read last") << "read" << 98
                               << "CR ADVCOL[CR] \t:Get setting status of Advanced color";
}

void TstCatalogue::firstAndLastRows()
{
    compareRow();
}

// Shared by the tests whose data gives a list, a row index and the full row.
void TstCatalogue::compareRow()
{
    QFETCH(QString, list);
    QFETCH(int, index);
    QFETCH(QString, row);
    const QStringList rows = rowsOf(list);
    QVERIFY(index < rows.size());
    QCOMPARE(rows.at(index), row);
}

void TstCatalogue::commandOfEveryRow_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("command");
    const auto add = [](const char *list, const auto &commands) {
        int index = 0;
        for (const char *command : commands) {
            QTest::addRow("%s %d", list, index)
                << QString::fromLatin1(list) << index << QString::fromLatin1(command);
            ++index;
        }
    };
    add("basic", kBasicCommands);
    add("setting", kSettingCommands);
    add("read", kReadCommands);
}

void TstCatalogue::commandOfEveryRow()
{
    QFETCH(QString, list);
    QFETCH(int, index);
    QFETCH(QString, command);
    const QStringList rows = rowsOf(list);
    QVERIFY(index < rows.size());
    QCOMPARE(Catalogue::commandPart(rows.at(index)), command);
}

// Every row is a command, a mark and either nothing more or a blank/tab
// separator, ':' and a description. The irregular rows are collected and the
// rows with the list's usual separator counted, so that a stray bracket,
// colon, blank or tab anywhere in a list is caught.
void TstCatalogue::rowLayout_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("described");
    QTest::addColumn<QList<int>>("openMarks");
    QTest::addColumn<QList<int>>("blankAfterMark");
    QTest::addColumn<QList<int>>("semicolon");
    QTest::addColumn<QString>("usualSeparator");
    QTest::addColumn<int>("usualCount");
    QTest::addColumn<QList<int>>("trailingSpace");
    QTest::newRow("basic") << "basic" << 45 << QList<int>() << QList<int>() << QList<int>()
                           << "     " << 45 << QList<int>();
    QTest::newRow("setting") << "setting" << 109 << QList<int>{173, 184, 195}
                             << QList<int>{116, 357} << QList<int>{307} << "  \t\t" << 91
                             << QList<int>{343};
    QTest::newRow("read") << "read" << 99 << QList<int>() << QList<int>() << QList<int>() << " \t"
                          << 71 << QList<int>{6};
}

void TstCatalogue::rowLayout()
{
    QFETCH(QString, list);
    QFETCH(int, described);
    QFETCH(QList<int>, openMarks);
    QFETCH(QList<int>, blankAfterMark);
    QFETCH(QList<int>, semicolon);
    QFETCH(QString, usualSeparator);
    QFETCH(int, usualCount);
    QFETCH(QList<int>, trailingSpace);

    const QStringList rows = rowsOf(list);
    QList<int> seenOpen, seenBlank, seenSemicolon, seenTrailing;
    int seenDescribed = 0;
    int seenUsual = 0;
    for (int i = 0; i < rows.size(); ++i) {
        const QString &row = rows.at(i);
        const QString rest = row.mid(Catalogue::commandPart(row).size());
        const QByteArray where = QByteArray::number(i) + ": " + row.toLatin1();
        QVERIFY2(rest.startsWith(QLatin1String("[CR")), where);
        if (rest == QLatin1String("[CR")) {
            seenOpen.append(i);
            continue;
        }
        QVERIFY2(rest.startsWith(QLatin1String("[CR]")), where);
        if (rest == QLatin1String("[CR]"))
            continue;
        if (rest == QLatin1String("[CR] ")) {
            seenBlank.append(i);
            continue;
        }
        const QString separator = separatorOf(row);
        QVERIFY2(!separator.isEmpty(), where);
        if (separator == usualSeparator)
            ++seenUsual;
        const qsizetype colon = 4 + separator.size();
        QVERIFY2(colon + 1 < rest.size(), where);
        if (rest.at(colon) == QLatin1Char(';'))
            seenSemicolon.append(i);
        else
            QVERIFY2(rest.at(colon) == QLatin1Char(':'), where);
        QVERIFY2(!rest.at(colon + 1).isSpace(), where);
        if (rest.back().isSpace())
            seenTrailing.append(i);
        ++seenDescribed;
    }
    QCOMPARE(seenDescribed, described);
    QCOMPARE(seenOpen, openMarks);
    QCOMPARE(seenBlank, blankAfterMark);
    QCOMPARE(seenSemicolon, semicolon);
    QCOMPARE(seenUsual, usualCount);
    QCOMPARE(seenTrailing, trailingSpace);
}

void TstCatalogue::oddRows_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("row");
    QTest::newRow("mark without ] (173)") << "setting" << 173 << "CF INPUT2 DIGITAL[CR";
    QTest::newRow("mark without ] (184)") << "setting" << 184 << "CF INPUT3 DIGITAL[CR";
    QTest::newRow("mark without ] (195)") << "setting" << 195 << "CF INPUT4 DIGITAL[CR";
    QTest::newRow("blank after mark (116)") << "setting" << 116 << "CF ORGMODE 480I[CR] ";
    QTest::newRow("blank after mark (357)") << "setting" << 357 << "CF HDWLMODE BROADCAST[CR] ";
    QTest::newRow("semicolon (307)")
        << "setting" << 307
        << "CF RSENS BOTH[CR] \t\t;Select location of infrared remote receiver of remote control";
    QTest::newRow("blank and tab at end (343)")
        << "setting" << 343 << "CF FDEFAULT RST[CR]  \t\t:Set the value to Factory Default \t";
    QTest::newRow("blanks inside description (268)")
        << "setting" << 268
        << "CF LANG ENG[CR]  \t\t:Select English        Select language for OSD";
    QTest::newRow("no description (1)") << "setting" << 1 << "CF CONT DN[CR]";
    QTest::newRow("numeric entry (2)") << "setting" << 2 << "CF CONT 0%%[CR]  \t\t:% = 0-9";
    QTest::newRow("placeholder in description (162)")
        << "setting" << 162
        << "CF INPUT1 DIGITAL[CR]  \t:Select Input11 and also set input source to %1";
    QTest::newRow("read blank at end (6)")
        << "read" << 6
        << "CR TEMPFAIL[CR] :Get temperature when sensors approach abnomal temperature ";
    QTest::newRow("colon in description") << "basic" << 8 << "C0F[CR]     :Screen Normal size(4:3)";
}

void TstCatalogue::oddRows()
{
    compareRow();
}

// The rows that take digits: a numeric entry after its "UP"/"DN" pair, which
// says "% = 0-9"; placeholder rows that describe themselves otherwise; one
// row whose description alone carries a "%". No other row of any list has
// a "%", so that the console's parameter hint shows for these only.
void TstCatalogue::placeholderRows_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("kind");
    for (int index : {2,  5,  8,  11, 25, 28, 31,  34,  37,  40,  43, 46,
                      82, 85, 88, 91, 94, 97, 100, 251, 254, 257, 260})
        QTest::addRow("%d", index) << index << "entry";
    for (int index : {12, 13, 290, 291, 292, 293, 294, 319, 324, 353, 360})
        QTest::addRow("%d", index) << index << "other";
    QTest::newRow("162") << 162 << "description";
}

void TstCatalogue::placeholderRows()
{
    QFETCH(int, index);
    QFETCH(QString, kind);
    const QStringList rows = Catalogue::settingRows();
    const QString row = rows.at(index);
    const QString command = Catalogue::commandPart(row);
    const QString description = row.mid(row.indexOf(QLatin1Char(':')) + 1);
    QCOMPARE(command.contains(QLatin1Char('%')), kind != QLatin1String("description"));
    QVERIFY2(row.contains(QLatin1Char('%')), qPrintable(row));
    QCOMPARE(description == QLatin1String("% = 0-9"), kind == QLatin1String("entry"));
    if (kind == QLatin1String("entry")) {
        // The pair above it steps the same setting.
        const QString stem = command.left(command.lastIndexOf(QLatin1Char(' ')) + 1);
        QCOMPARE(Catalogue::commandPart(rows.at(index - 2)), stem + QLatin1String("UP"));
        QCOMPARE(Catalogue::commandPart(rows.at(index - 1)), stem + QLatin1String("DN"));
    }
}

void TstCatalogue::noOtherPlaceholders()
{
    int withPercent = 0;
    for (const QString &row : Catalogue::settingRows())
        withPercent += row.contains(QLatin1Char('%'));
    QCOMPARE(withPercent, 23 + 11 + 1);
    for (const QString &row : Catalogue::basicRows() + Catalogue::readRows())
        QVERIFY2(!row.contains(QLatin1Char('%')), qPrintable(row));
}

void TstCatalogue::commandPart_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("command");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("mark only") << "[CR]"
                               << "";
    QTest::newRow("no mark") << "CR LAMPMODE"
                             << "CR LAMPMODE";
    QTest::newRow("mark") << "C00[CR]"
                          << "C00";
    QTest::newRow("open mark") << "CF INPUT2 DIGITAL[CR"
                               << "CF INPUT2 DIGITAL";
    QTest::newRow("first bracket wins") << "AB[C[D]"
                                        << "AB";
    QTest::newRow("blanks kept") << "  CF X  [CR]"
                                 << "  CF X  ";
    QTest::newRow("case kept") << "cf cont 0%%[CR]"
                               << "cf cont 0%%";
    QTest::newRow("closing bracket only") << "A]B"
                                          << "A]B";
}

void TstCatalogue::commandPart()
{
    QFETCH(QString, text);
    QFETCH(QString, command);
    QCOMPARE(Catalogue::commandPart(text), command);
}

QTEST_GUILESS_MAIN(TstCatalogue)

#include "tst_catalogue.moc"
