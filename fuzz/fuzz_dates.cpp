// Date-times as the program reads them: the stored forms (from Qt's drivers and,
// byte by byte, from the engines' own buffers) and the short form the screens
// show. Whatever is accepted, written in the stored form and read again, is the
// same moment.
#include "data/dberror.h"
#include "data/schema.h"
#include "data/snapshotcolumn.h"
#include "data/values.h"
#include "fuzz/check.h"

#include <QByteArray>
#include <QVariant>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = QString::fromUtf8(bytes);

    std::int64_t fromBytes = 0;
    const bool bytesRead = SnapshotColumn::parseIsoEncoded(std::string_view(bytes.constData(), size), &fromBytes);
    QDateTime dt;
    const bool textRead = SnapshotColumn::parseIsoDateTime(text, &dt);
    // The stored forms are ASCII: both readers agree on them.
    if (text.toUtf8() == bytes)
        FUZZ_CHECK(bytesRead == textRead, text);
    if (textRead) {
        FUZZ_CHECK(dt.isValid() && dt.time().msec() == 0, text);
        if (bytesRead)
            FUZZ_CHECK(SnapshotColumn::encodeDateTime(dt) == fromBytes, text);
        const QString stored = SnapshotColumn::sqlText(dt);
        QDateTime again;
        FUZZ_CHECK(SnapshotColumn::parseIsoDateTime(stored, &again) && again == dt, text + QStringLiteral(" -> ") + stored);
        FUZZ_CHECK(Values::toDateTime(QVariant(text)) == dt, text);
    }

    QDateTime typed;
    if (SnapshotColumn::parseDateTimeText(text, &typed)) {
        const QVariant stored = Values::toStored(Schema::ColumnType::DateTime, QVariant(text));
        QDateTime again;
        FUZZ_CHECK(SnapshotColumn::parseIsoDateTime(stored.toString(), &again) && again == typed,
                   text + QStringLiteral(" -> ") + stored.toString());
    } else {
        try {
            Values::toStored(Schema::ColumnType::DateTime, QVariant(text));
            FUZZ_CHECK(text.isEmpty(), text);
        } catch (const DbError&) {
        }
    }
    return 0;
}
