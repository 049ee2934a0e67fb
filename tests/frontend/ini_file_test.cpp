// The INI reader and writer: what a read finds, and that a write changes
// only the line of its key. Defaults for a missing file, section or key
// are seen through the settings in config_test.cpp.

#include "frontend/ini_file.h"

#include <QTest>

#include "frontend_test.h"

class IniFileTest : public QObject {
    Q_OBJECT

    ScratchDirectory scratch;

    IniFile Parse(const std::string& text) {
        WriteText(scratch.Path("t.ini"), text);
        return ReadIniFile(scratch.Path("t.ini").toStdString());
    }

    QString Rewrite(const std::string& text, const char* section, const char* key, const char* value) {
        IniFile file = Parse(text);
        SetIniValue(file, section, key, value);
        WriteIniFile(scratch.Path("t.ini").toStdString(), file);
        return ReadText(scratch.Path("t.ini"));
    }

private slots:
    // A write changes only the line of its key, or adds one at the end of
    // its section (a new section at the end of the file), in the file's own
    // line ends. A value with a line break in it must not add lines of its own.
    void AWriteChangesOnlyItsKeysLine() {
        const struct {
            const char *before, *section, *key, *value, *after;
        } cases[] = {
            {"; my comment\n[KORU]\nWidth=240\n\nodd line\n[GAME]\nAutoFire=1\n", "koru", "width", "480",
             "; my comment\n[KORU]\nwidth=480\n\nodd line\n[GAME]\nAutoFire=1\n"},
            {"[KORU]\nWidth=240\n\n[GAME]\nA=1\n", "KORU", "Height", "160",
             "[KORU]\nWidth=240\nHeight=160\n\n[GAME]\nA=1\n"},
            {"[KORU]\nWidth=240\n", "TETRIS", "AutoFire", "3", "[KORU]\nWidth=240\n\n[TETRIS]\nAutoFire=3\n"},
            {"", "KORU", "X", "-5", "[KORU]\nX=-5\n"},
            {"[KORU]\r\nWidth=240\r\n", "KORU", "Height", "160", "[KORU]\r\nWidth=240\r\nHeight=160\r\n"},
            {"[KORU]\n", "KORU", "Cartridge", "a.gba\n[KORU]\nCheckCRC=0", "[KORU]\nCartridge=a.gba\n"},
        };
        for (const auto& c : cases) QCOMPARE(Rewrite(c.before, c.section, c.key, c.value), Q(c.after));
    }
};

int RunIniFileTests(int argc, char** argv) {
    IniFileTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ini_file_test.moc"
