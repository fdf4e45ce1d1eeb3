#include "fuzz/fuzz_common.h"

#include "app/startup.h"
#include "core/panels.h"
#include "core/program.h"
#include "ui/engine/engine.h"

#include <QApplication>
#include <QTemporaryDir>

#include <fstream>

namespace fuzz {

std::vector<std::string> Lines(const std::uint8_t *data, std::size_t size) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

namespace {
QTemporaryDir &Folder() {
    static QTemporaryDir dir;
    return dir;
}
} // namespace

void LoadProgramPanels(int *argc, char ***argv) {
    if (panelMAIN > 0) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    InitCVIRTE(*argc, *argv);
    SetProjectDir(Folder().path().toStdString());
    SetPanelResourceDir(QVEX_PANEL_DIR);
    RegisterAllCallbacks();
    FUZZ_CHECK(LoadAllPanels() == 0);
    InitVars();
}

std::string WriteInputFile(const char *name, const std::uint8_t *data, std::size_t size) {
    const std::string path = Folder().path().toStdString() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    out.close();
    FUZZ_CHECK(out.good());
    return path;
}

} // namespace fuzz
