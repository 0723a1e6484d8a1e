// Any bytes as the settings file, and one key saved into it. Checks that the
// save leaves every other line byte for byte, that every other key reads as
// before, and that the saved value reads back.
//
// Input: one byte choosing the section and key names (or taking them from the
// data), then the NUL-separated fields that were asked for, the value, and
// the rest is the file.

#include "store/settingsstore.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QByteArrayView field(QByteArrayView *rest)
{
    const qsizetype nul = rest->indexOf('\0');
    const QByteArrayView f = nul < 0 ? *rest : rest->first(nul);
    *rest = nul < 0 ? QByteArrayView() : rest->sliced(nul + 1);
    return f;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

QByteArrayView trimmed(QByteArrayView s)
{
    while (!s.isEmpty() && isBlank(s.front()))
        s = s.sliced(1);
    while (!s.isEmpty() && isBlank(s.back()))
        s.chop(1);
    return s;
}

bool badName(QByteArrayView name)
{
    return name.contains('\n') || name.contains('=')
           || (!name.isEmpty() && (isBlank(name.front()) || isBlank(name.back())));
}

bool sameName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const auto up = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; };
        if (up(a[i]) != up(b[i]))
            return false;
    }
    return true;
}

void fail(int line)
{
    std::fprintf(stderr, "invariant of line %d broken\n", line);
    std::abort();
}
#define check(ok) ((ok) ? void() : fail(__LINE__))

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const char *const sections[] = {"StartUP", "Ports", "startup"};
    static const char *const keys[] = {"ADRESS", "ComPort", "BaudRate", "COM3",
                                       "adress", "COM15",   "x"};
    QByteArrayView rest(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const unsigned pick = data[0];
    const QByteArrayView section =
        (pick & 3) == 3 ? field(&rest) : QByteArrayView(sections[pick & 3]);
    const QByteArrayView key =
        ((pick >> 2) & 7) == 7 ? field(&rest) : QByteArrayView(keys[(pick >> 2) & 7]);
    const QByteArrayView value = field(&rest);
    const QByteArrayView file = rest;

    const std::optional<QByteArray> before = IniText::lookup(file, section, key);
    if (before)
        (void)IniText::decode(*before);
    const std::optional<QByteArray> saved = IniText::setValue(file, section, key, value);
    const std::optional<IniText::Edit> edit = IniText::edit(file, section, key, value);
    check(saved.has_value() == edit.has_value());
    if (!saved) {
        // Refused only for what cannot be one line of its kind.
        check(value.contains('\n') || badName(section) || section.contains(']') || badName(key)
              || key.startsWith('['));
        return 0;
    }
    const QByteArray &after = *saved;
    // A save that changes nothing is not written at all.
    check(edit->changes(file) == (after != file));

    // What was saved reads back.
    const std::optional<QByteArray> back = IniText::lookup(after, section, key);
    check(back && *back == value);

    // Every other line is byte-identical: the two texts differ inside one
    // line (a changed value) or by one inserted stretch (a new line, or a new
    // section at the end).
    qsizetype head = 0;
    const qsizetype shorter = qMin(file.size(), after.size());
    while (head < shorter && file[head] == after[head])
        ++head;
    qsizetype tail = 0;
    while (tail < shorter - head && file[file.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    const QByteArrayView oldMiddle = file.sliced(head, file.size() - head - tail);
    const QByteArrayView newMiddle = QByteArrayView(after).sliced(head, after.size() - head - tail);
    if (before) {
        check(!oldMiddle.contains('\n') && !newMiddle.contains('\n'));
    } else {
        check(oldMiddle.isEmpty());
        // At most: the old last line's missing break, a blank line, the
        // section line and the key line.
        check(newMiddle.count('\n') <= 4);
    }

    // Every other key reads as it did.
    QByteArrayView current;
    int checked = 0;
    for (qsizetype pos = 0; pos < file.size() && checked < 64;) {
        qsizetype lf = file.indexOf('\n', pos);
        if (lf < 0)
            lf = file.size();
        const QByteArrayView line = trimmed(file.sliced(pos, lf - pos));
        pos = lf + 1;
        const qsizetype close = line.indexOf(']');
        if (line.startsWith('[') && close > 0) {
            current = trimmed(line.sliced(1, close - 1));
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArrayView name = trimmed(line.first(equals));
        ++checked;
        if (!sameName(current, section) || !sameName(name, key))
            check(IniText::lookup(file, current, name) == IniText::lookup(after, current, name));
    }
    return 0;
}
