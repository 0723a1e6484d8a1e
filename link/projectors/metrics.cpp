#include "projectors/metrics.h"

#include <QLocale>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace {

// Every state a projector's power can be in, in the order the file lists
// them; the last stands for a state of no known meaning.
const char *const kPowerStates[] = {"on",          "standby",           "countdown",  "cooling",
                                    "power-fault", "temperature-fault", "lamp-fault", "unknown"};

// A label value as the text format quotes it: a backslash, a double quote
// and a line feed are escaped, everything else stays as its UTF-8 bytes.
QByteArray labelValue(const QString &text)
{
    QByteArray quoted;
    for (const char c : text.toUtf8()) {
        if (c == '\\')
            quoted += "\\\\";
        else if (c == '"')
            quoted += "\\\"";
        else if (c == '\n')
            quoted += "\\n";
        else
            quoted += c;
    }
    return quoted;
}

// The shortest decimal that reads back as the same number, never with an
// exponent.
QByteArray number(double value)
{
    return QByteArray::number(value, 'f', QLocale::FloatingPointShortest);
}

class Writer
{
public:
    void family(const char *name, const char *type, const char *help)
    {
        m_name = name;
        m_text += QByteArray("# HELP ") + name + ' ' + help + '\n';
        m_text += QByteArray("# TYPE ") + name + ' ' + type + '\n';
    }
    // A series of the current family: the projector's label, then an
    // optional second label |label|="|value|".
    void series(const QByteArray &projector, const QByteArray &sample, const char *label = nullptr,
                const QByteArray &value = {})
    {
        m_text += m_name + "{projector=\"" + projector + '"';
        if (label)
            m_text += QByteArray(",") + label + "=\"" + value + '"';
        m_text += "} " + sample + '\n';
    }
    QByteArray text() const { return m_text; }

private:
    QByteArray m_name;
    QByteArray m_text;
};

} // namespace

namespace Metrics {

QByteArray text(const QList<ProjectorMetrics> &projectors)
{
    QList<QByteArray> names;
    for (const ProjectorMetrics &p : projectors)
        names += labelValue(p.name);
    Writer out;

    out.family("orva_projector_answered", "gauge",
               "Whether the projector answered its last poll (1) or not (0).");
    for (qsizetype i = 0; i < projectors.size(); ++i)
        out.series(names[i], projectors[i].answered ? "1" : "0");

    out.family("orva_projector_power_state", "gauge",
               "The projector's power state: 1 for the state it is in, 0 for the others; "
               "all 0 while the state is not known.");
    for (qsizetype i = 0; i < projectors.size(); ++i) {
        const std::optional<QString> &power = projectors[i].power;
        // A state that is not one of the list counts as one of no known
        // meaning, so that a known state always has its one series at 1.
        const bool listed =
            power
            && std::any_of(std::begin(kPowerStates), std::end(kPowerStates),
                           [&](const char *s) { return *power == QLatin1String(s); });
        for (const char *state : kPowerStates) {
            const bool in =
                power && (listed ? *power == QLatin1String(state) : qstrcmp(state, "unknown") == 0);
            out.series(names[i], in ? "1" : "0", "state", state);
        }
    }

    out.family("orva_projector_lamp_lit_seconds", "gauge",
               "How long the lamp has been lit, as the projector counts it (whole hours).");
    for (qsizetype i = 0; i < projectors.size(); ++i) {
        if (projectors[i].lampHours)
            out.series(names[i], QByteArray::number(qint64(*projectors[i].lampHours) * 3600));
    }

    out.family("orva_projector_temperature_celsius", "gauge",
               "The temperature at each of the projector's three sensors.");
    for (qsizetype i = 0; i < projectors.size(); ++i) {
        if (!projectors[i].temperatures)
            continue;
        for (int sensor = 0; sensor < 3; ++sensor) {
            const double celsius = (*projectors[i].temperatures)[sensor];
            if (std::isfinite(celsius))
                out.series(names[i], number(celsius), "sensor", QByteArray::number(sensor + 1));
        }
    }

    out.family("orva_projector_last_answer_timestamp_seconds", "gauge",
               "When the projector last answered, in seconds since the Unix epoch.");
    for (qsizetype i = 0; i < projectors.size(); ++i) {
        const std::optional<QDateTime> &at = projectors[i].lastAnswer;
        if (at && at->isValid())
            out.series(names[i], number(double(at->toMSecsSinceEpoch()) / 1000.0));
    }

    out.family("orva_projector_exchanges_total", "counter",
               "Exchanges with the projector since the watcher started, by their result.");
    for (qsizetype i = 0; i < projectors.size(); ++i) {
        const ProjectorMetrics &p = projectors[i];
        out.series(names[i], QByteArray::number(p.answeredTotal), "result", "answered");
        out.series(names[i], QByteArray::number(p.noAnswerTotal), "result", "no_answer");
        out.series(names[i], QByteArray::number(p.portFailedTotal), "result", "port_failed");
    }
    return out.text();
}

bool write(const QString &path, const QByteArray &text, QString *error)
{
    // QSaveFile writes to a temporary file beside |path|, syncs it to the
    // disk and renames it over |path|; whatever fails, the temporary file is
    // removed, also when this returns early. It never falls back to writing
    // |path| in place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace Metrics
