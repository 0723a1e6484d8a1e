#include "ports/netline.h"

#include "ports/netlinebackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <algorithm>

NetLine::NetLine(QObject *parent)
    : QObject(parent)
{}

NetLine::~NetLine() = default;

bool NetLine::isAddress(const QString &text)
{
    return text.contains(QLatin1String("://"));
}

bool NetLine::parse(const QString &text, Endpoint *out, QString *why)
{
    auto bad = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    const qsizetype sep = text.indexOf(QLatin1String("://"));
    if (sep < 0)
        return bad(tr("it is not a network address"));
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); }))
        return bad(tr("it contains spaces"));
    const QString scheme = text.left(sep).toLower();
    Endpoint e;
    if (scheme == QLatin1String("tcp"))
        e.telnet = false;
    else if (scheme == QLatin1String("rfc2217"))
        e.telnet = true;
    else
        return bad(
            tr("the scheme \"%1\" is unknown (use tcp:// or rfc2217://)").arg(text.left(sep)));
    const QString rest = text.mid(sep + 3);
    QString portText;
    if (rest.startsWith(QLatin1Char('['))) { // [IPv6]:port
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0)
            return bad(tr("the host has no closing \"]\""));
        e.host = rest.mid(1, close - 1);
        if (rest.mid(close + 1, 1) != QLatin1String(":"))
            return bad(tr("the port number is missing"));
        portText = rest.mid(close + 2);
    } else {
        const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
        if (colon < 0)
            return bad(tr("the port number is missing"));
        e.host = rest.left(colon);
        portText = rest.mid(colon + 1);
        if (e.host.contains(QLatin1Char(':')))
            return bad(tr("an IPv6 host must be written in brackets"));
    }
    if (e.host.isEmpty())
        return bad(tr("the host is empty"));
    if (portText.isEmpty())
        return bad(tr("the port number is missing"));
    if (portText.size() > 5
        || !std::all_of(portText.begin(), portText.end(), [](QChar c) { return c.isDigit(); }))
        return bad(tr("the port \"%1\" is not a number from 1 to 65535").arg(portText));
    const int port = portText.toInt();
    if (port < 1 || port > 65535)
        return bad(tr("the port %1 is not a number from 1 to 65535").arg(portText));
    e.port = quint16(port);
    if (out)
        *out = e;
    return true;
}

namespace {

#ifdef Q_OS_WIN
constexpr char kModuleSuffix[] = ".dll";
#else
constexpr char kModuleSuffix[] = ".so";
#endif

// Where the module is looked for: the library folder beside the program's
// own bin folder (installed, and the build tree, where every program sits one
// folder below the top), then the program's own folder.
QStringList moduleFolders()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    return {QDir(programDir).filePath(QStringLiteral("../" ORVA_MODULE_SUBDIR)), programDir};
}

} // namespace

bool NetLine::ensureBackend()
{
    if (m_backend)
        return true;
    // Loaded once and never unloaded: lines made from it may live until exit.
    static NetLineCreate *create = nullptr;
    static QString loadError;
    if (!create && loadError.isEmpty()) {
        QLibrary module;
        QStringList looked;
        for (const QString &folder : moduleFolders()) {
            const QString path =
                QDir::cleanPath(QDir(folder).filePath(QStringLiteral("orva_netline")));
            module.setFileName(path);
            if (module.load())
                break;
            looked << QDir::toNativeSeparators(QFileInfo(path).absolutePath());
            // A module that is there but cannot be loaded says why.
            if (QFileInfo::exists(path + QLatin1String(kModuleSuffix))) {
                loadError = module.errorString();
                break;
            }
        }
        if (module.isLoaded()) {
            create = reinterpret_cast<NetLineCreate *>(module.resolve(kNetLineCreateSymbol));
            if (!create)
                loadError = module.errorString();
        } else if (loadError.isEmpty()) {
            loadError = tr("the module orva_netline is in none of %1")
                            .arg(looked.join(QStringLiteral(", ")));
        }
    }
    if (!create) {
        m_failure = Failure::Other;
        m_failureText = tr("network ports are not available (%1)").arg(loadError);
        return false;
    }
    NetLineBackend::Hooks hooks;
    hooks.readyRead = [this]() { emit readyRead(); };
    hooks.lost = [this](const QString &reason) { emit lost(reason); };
    hooks.opened = [this]() { emit opened(); };
    hooks.openFailed = [this]() { emit openFailed(); };
    m_backend.reset(create(hooks));
    return true;
}

bool NetLine::startOpen(const Endpoint &endpoint, const LineSettings &settings, int timeoutMs)
{
    if (!ensureBackend())
        return false;
    m_backend->startOpen(endpoint, settings, timeoutMs);
    return true;
}

void NetLine::close()
{
    if (m_backend)
        m_backend->close();
}

bool NetLine::isOpen() const
{
    return m_backend && m_backend->isOpen();
}

void NetLine::setSettings(const LineSettings &settings)
{
    if (m_backend)
        m_backend->setSettings(settings);
}

bool NetLine::write(const QByteArray &data)
{
    return m_backend && m_backend->write(data);
}

QByteArray NetLine::readAll()
{
    return m_backend ? m_backend->readAll() : QByteArray();
}

qint64 NetLine::bytesAvailable() const
{
    return m_backend ? m_backend->bytesAvailable() : 0;
}

NetLine::Failure NetLine::failure() const
{
    return m_backend ? m_backend->failure() : m_failure;
}

QString NetLine::failureText() const
{
    return m_backend ? m_backend->failureText() : m_failureText;
}
