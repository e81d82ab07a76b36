// The data link file reader: whatever it accepts, written again by toText and
// read again, gives the same link; anything else is refused with a DbError.
#include "data/datalink.h"
#include "data/dberror.h"
#include "fuzz/check.h"

#include <QByteArray>

namespace {

bool same(const DataLink& a, const DataLink& b)
{
    return a.provider == b.provider && a.dataSource == b.dataSource && a.host == b.host && a.port == b.port
           && a.servers() == b.servers() && a.sslMode == b.sslMode && a.database == b.database && a.user == b.user && a.password == b.password;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = QStringLiteral("/tmp/kelvora-fuzz/kavshiri.udl");
    const QString text = DataLink::decode(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    DataLink link;
    try {
        link = DataLink::parse(text, path);
    } catch (const DbError& e) {
        FUZZ_CHECK(!e.text().isEmpty(), text);
        return 0;
    }
    const QString written = link.toText();
    DataLink again;
    try {
        again = DataLink::parse(DataLink::decode(written.toUtf8()), path);
    } catch (const DbError& e) {
        FUZZ_CHECK(false, written + QStringLiteral(" -> ") + e.text());
    }
    FUZZ_CHECK(same(link, again), written);
    return 0;
}
