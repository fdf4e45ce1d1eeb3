// The fuzz targets' saved inputs replayed through the targets' own entry
// points: every crash a fuzzer found (fuzz/regressions/TARGET/) and the
// seeds it starts from. A target's failed check aborts the test.
#include "tests/fixtures/program.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <string>

#define FUZZ_ENTRY(t) extern "C" int FuzzOne_##t(const std::uint8_t *data, std::size_t size);
FUZZ_ENTRY(ini)
FUZZ_ENTRY(parafile)
FUZZ_ENTRY(templates)
FUZZ_ENTRY(settings)
FUZZ_ENTRY(srecord)
FUZZ_ENTRY(link)

namespace {

using Entry = int (*)(const std::uint8_t *, std::size_t);

// Feeds every file of the folders (relative to the source tree) to entry;
// returns how many there were.
int Replay(Entry entry, const QStringList &folders) {
    int count = 0;
    for (const QString &folder : folders) {
        const QDir dir(QString(QVEX_TESTS_DIR) + "/../" + folder);
        for (const QString &name : dir.entryList(QDir::Files | QDir::NoDotAndDotDot)) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::ReadOnly)) {
                ADD_FAILURE() << "cannot read " << file.fileName().toStdString();
                continue;
            }
            const QByteArray bytes = file.readAll();
            SCOPED_TRACE(file.fileName().toStdString());
            EXPECT_EQ(entry(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                            static_cast<std::size_t>(bytes.size())),
                      0);
            ++count;
        }
    }
    return count;
}

class FuzzInputs : public ProgramTest {};

TEST_F(FuzzInputs, IniStore) {
    EXPECT_GT(Replay(FuzzOne_ini, {"fuzz/regressions/ini", "fuzz/corpus", "tests/ini/golden"}), 0);
}

TEST_F(FuzzInputs, ParameterFile) {
    EXPECT_GT(Replay(FuzzOne_parafile, {"fuzz/regressions/parafile", "tests/ini/golden", "fuzz/corpus"}), 0);
}

TEST_F(FuzzInputs, TemplatesFile) {
    EXPECT_GT(Replay(FuzzOne_templates, {"fuzz/regressions/templates", "tests/ini/golden"}), 0);
}

TEST_F(FuzzInputs, SettingsFile) {
    EXPECT_GT(Replay(FuzzOne_settings, {"fuzz/regressions/settings", "tests/ini/golden", "fuzz/corpus"}), 0);
}

TEST_F(FuzzInputs, SRecordsAndMerge) {
    EXPECT_GT(Replay(FuzzOne_srecord, {"fuzz/regressions/srecord", "fuzz/seeds/srecord"}), 0);
}

TEST_F(FuzzInputs, ReplyStream) {
    EXPECT_GT(Replay(FuzzOne_link, {"fuzz/regressions/link", "fuzz/seeds/link"}), 0);
}

} // namespace
