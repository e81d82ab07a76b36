// The fiscal driver's answer: the result code is exactly characters 14 and 15
// of the answer's lines joined by CR LF, however the lines are broken.
#include "billing/fiscalexchange.h"
#include "fuzz/check.h"

#include <QByteArray>
#include <QList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray answer(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString code = FiscalExchange::resultCode(answer);

    // The same joining spelled another way: split into lines at CR LF, CR or
    // LF, the break after the last line joining nothing.
    QList<QByteArray> lines;
    QByteArray line;
    for (qsizetype i = 0; i < answer.size(); ++i) {
        const char c = answer[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < answer.size() && answer[i + 1] == '\n')
                ++i;
            lines << line;
            line.clear();
            continue;
        }
        line += c;
    }
    if (!line.isEmpty())
        lines << line;
    QString joined;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            joined += QStringLiteral("\r\n");
        for (const char c : std::as_const(lines[i]))
            joined += QChar(uchar(c));
    }
    FUZZ_CHECK(code == joined.mid(13, 2), QString::fromLatin1(answer.toHex()));
    FUZZ_CHECK(code.size() == qBound(qsizetype(0), joined.size() - 13, qsizetype(2)), code);
    return 0;
}
