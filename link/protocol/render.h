#pragma once

#include <QString>
#include <QStringView>

// Readable form of the text on the line: every character becomes a two-column
// mark (the character and a blank), control codes become bracketed marks.
//
//   ACK  -> " [ACK] "        CR -> " [CR] "       LF -> " [LF]  "
//   " "  -> "_ "             other codes below 32, "{" and above -> "? "
//   "!" .. "z" -> the character and a blank
//
// The result starts with one blank, so a text of n ordinary characters
// renders to 2n + 1 characters and the k-th character's mark starts at
// position 2k (counted from 1).
namespace Render {

// Which legend lines the marks of a text call for.
enum Legend : unsigned {
    NoLegend = 0,
    AckLegend = 1u << 0,   // "[ACK]" occurred
    CrLegend = 1u << 1,    // "[CR]" occurred
    SpaceLegend = 1u << 2, // "_" occurred
};
using Legends = unsigned;

// Appends the marks of |source| to |out| (without the leading blank) and
// returns the legends they call for.
Legends appendMarks(QStringView source, QString &out);

// The whole rendered text, leading blank included.
QString render(QStringView source, Legends *legends = nullptr);

// Rendering of a growing text: each append costs time in proportion to the
// characters appended, and text() equals render() of everything appended
// since the last clear().
class Incremental
{
public:
    Legends append(QStringView more)
    {
        if (m_text.isEmpty())
            m_text = QStringLiteral(" ");
        m_sourceLength += more.size();
        return appendMarks(more, m_text);
    }
    void clear()
    {
        m_text.clear();
        m_sourceLength = 0;
    }
    // Rendering of everything appended; " " when nothing was.
    QString text() const { return m_text.isEmpty() ? QStringLiteral(" ") : m_text; }
    qsizetype sourceLength() const { return m_sourceLength; }

private:
    QString m_text;
    qsizetype m_sourceLength = 0;
};

} // namespace Render
