// Cfg.ini as anyone may have written it. An input whose first byte is odd becomes the whole file,
// read through QSettings by the loading rules; otherwise the rest is one value given to each rule
// directly (no file: fast). Whatever is taken is written back the way a person writes it and must
// read back the same.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "config/cfg_file.h"
#include "config/xu_identity.h"
#include "tests/fuzz/fuzz_check.h"

using velmora::Guid;
using velmora::XuIdentity;

namespace {

// A private folder for the two files, on tmpfs where there is one, removed at exit.
class Folder {
public:
    Folder()
    {
        const QByteArray base = QDir("/dev/shm").exists() ? "/dev/shm" : QDir::tempPath().toLocal8Bit();
        QByteArray pattern = base + "/velmora-cfg-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        m_path = QString::fromLocal8Bit(pattern);
    }
    ~Folder() { QDir(m_path).removeRecursively(); }
    QString File(const char* name) const { return m_path + "/" + name; }

private:
    QString m_path;
};

const Folder& WorkFolder()
{
    static const Folder folder;
    return folder;
}

void WriteFile(const QString& path, const char* bytes, std::size_t size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    file.write(bytes, static_cast<qint64>(size));
}

XuIdentity Sentinel()
{
    XuIdentity identity;
    identity.exId = 0x5A5A5A5A;
    identity.guid = Guid{0x01234567u, 0x89AB, 0xCDEF, {1, 2, 3, 4, 5, 6, 7, 8}};
    return identity;
}

QString ExIdText(std::int32_t exId)
{
    const qlonglong node = exId;
    return (node < 0 ? "-" : "") + QString::number(node < 0 ? -node : node, 16);
}

// As a person writes it: braces around the project's own form.
QString BracedGuid(const Guid& guid)
{
    return "{" + QString::fromStdString(velmora::GuidText(guid)) + "}";
}

void CheckValueRules(const char* bytes, std::size_t size)
{
    const QString text = QString::fromUtf8(bytes, static_cast<int>(size));
    if (const auto exId = velmora::CfgExIdFromText(text)) {
        FUZZ_CHECK(velmora::CfgExIdFromText(ExIdText(*exId)) == exId);
    }
    if (const auto guid = velmora::CfgGuidFromText(text)) {
        FUZZ_CHECK(!guid->IsNull());
        FUZZ_CHECK(velmora::CfgGuidFromText(BracedGuid(*guid)) == guid);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const char* bytes = reinterpret_cast<const char*>(data) + 1;
    if (data[0] % 2 == 0) {
        CheckValueRules(bytes, size - 1);
        return 0;
    }
    const QString input = WorkFolder().File("input.ini");
    WriteFile(input, bytes, size - 1);

    const XuIdentity before = Sentinel();
    XuIdentity loaded = before;
    velmora::LoadUvcExtenConfig(input, loaded);
    const bool exIdTaken = loaded.exId != before.exId;
    const bool guidTaken = !(loaded.guid == before.guid);
    // A GUID is taken only when it parsed to something other than the null GUID.
    if (guidTaken) FUZZ_CHECK(!loaded.guid.IsNull());
    if (!exIdTaken && !guidTaken) return 0;

    // Written out again as a person would write them, the values read back unchanged.
    const QString copy = WorkFolder().File("copy.ini");
    QFile::remove(copy);
    if (exIdTaken) velmora::WriteCfgValue(copy, "/UvcExten/ExId", ExIdText(loaded.exId));
    if (guidTaken) velmora::WriteCfgValue(copy, "/UvcExten/Guid", BracedGuid(loaded.guid));
    XuIdentity reread = before;
    velmora::LoadUvcExtenConfig(copy, reread);
    FUZZ_CHECK(reread.exId == loaded.exId && reread.guid == loaded.guid);
    return 0;
}
