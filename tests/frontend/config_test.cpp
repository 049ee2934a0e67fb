// KORU.ini and Settings: how a write changes the file, how the game section
// is named, and how the global and game sections combine. Values out of range and
// titles that would break the section's header line are the ini fuzz
// harness's.

#include "frontend/config.h"
#include "frontend/ini_file.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <QTest>
#include <array>
#include <cstring>

#include "frontend_test.h"
#include "game/save_type.h"
#include "machine/host.h"

class ConfigTest : public QObject {
    Q_OBJECT

    ScratchDirectory scratch;

    // A cartridge file of the given length whose header title field holds
    // title (up to 12 bytes, the rest zero).
    QString Cartridge(const char* name, const char* title, size_t length = 512, bool gzip = false) {
        std::string bytes(length, '\0');
        if (length >= 0xAC) std::memcpy(&bytes[0xA0], title, std::min<size_t>(std::strlen(title), 12));
        const QString path = scratch.Path(name);
        if (gzip) {
            gzFile file = gzopen(path.toLocal8Bit().constData(), "wb");
            gzwrite(file, bytes.data(), unsigned(bytes.size()));
            gzclose(file);
        } else {
            WriteText(path, bytes);
        }
        return path;
    }

    void ReadSettingsFor(const QString& cartridge) { ReadGameSettings(cartridge.toLocal8Bit().constData()); }

    QString Rewrite(const std::string& text, const char* section, const char* key, const char* value) {
        WriteText(scratch.Path("t.ini"), text);
        IniFile file = ReadIniFile(scratch.Path("t.ini").toStdString());
        SetIniValue(file, section, key, value);
        WriteIniFile(scratch.Path("t.ini").toStdString(), file);
        return ReadText(scratch.Path("t.ini"));
    }

private slots:
    void init() { QFile::remove(scratch.Path("KORU.ini")); }

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

    void GameSectionIsTheTitle() {
        const struct {
            const char* title;
            size_t length;
            bool gzip;
            const char* section;
        } cases[] = {
            {"ABC", 512, false, "ABC"},        {"TWELVELETTER", 4096, false, "TWELVELETTER"},
            {"PACKED", 512, true, "PACKED"},   {"SHORT", 511, false, "UNKNOWN"},
        };
        for (const auto& c : cases) {
            FindGameSection(Cartridge("game.gba", c.title, c.length, c.gzip).toLocal8Bit().constData());
            QCOMPARE(Settings().GameSection, c.section);
        }
        FindGameSection(scratch.Path("missing.gba").toLocal8Bit().constData());
        QCOMPARE(Q(Settings().GameSection), Q("UNKNOWN"));
    }

    void TheGameSectionOverridesTheGlobalOne() {
        WriteText(scratch.Path("KORU.ini"),
                  "[KORU]\nUpdatePeriod=2\nSoundVolume=100\nSoundLogFile=music.mid\nAutoFire=1\nSaveType=SRAM\n"
                  "[GAME]\nSoundVolume=50\nSaveType=flash128\n[OTHER]\nAutoFire=2\n");
        ReadSettingsFor(Cartridge("game.gba", "GAME"));
        QCOMPARE(Settings().SoundVolume, 50);
        QCOMPARE(Settings().UpdatePeriod, 2);
        QCOMPARE(Settings().AutoFire, 1);
        QCOMPARE(Q(Settings().SoundLogFile), Q("music.mid"));
        QCOMPARE(Q(SaveTypeChoices[Settings().SaveType].Name), Q("FLASH128"));
        ReadSettingsFor(Cartridge("other.gba", "OTHER"));
        QCOMPARE(Settings().AutoFire, 2);
        QCOMPARE(Settings().SoundVolume, 100);
        QCOMPARE(Settings().SaveType, 0);  // only a game's own section names its chip
    }

    // A FIFO would hold the reader until a writer comes (the alarm turns a
    // hang into a failure); it is neither read nor replaced, and both the
    // read at start and the failed write are said.
    void AKoruIniThatIsNoRegularFileIsRefusedAndSaid() {
        static QStringList told;
        told.clear();
        Handheld().Host.ReportProblem = [](void*, const char* message) { told << Q(message); };
        const QByteArray ini = scratch.Path("KORU.ini").toLocal8Bit();
        QCOMPARE(::mkfifo(ini.constData(), 0644), 0);
        ::alarm(20);
        ReadWindowSettings("game.gba");
        SaveCartridgePath();
        ::alarm(0);
        Handheld().Host = HostInterface{};
        QFileInfo file(scratch.Path("KORU.ini"));
        QVERIFY(!file.isFile() && file.exists());
        QCOMPARE(told.size(), 2);
        QVERIFY2(told[0].startsWith("cannot read ") && told[0].endsWith("KORU.ini: not a regular file"),
                 qPrintable(told[0]));
        QVERIFY2(told[1].startsWith("cannot write "), qPrintable(told[1]));
        QFile::remove(scratch.Path("KORU.ini"));
    }
};

[[maybe_unused]] const bool registered = RegisterTests<ConfigTest>(1);

#include "config_test.moc"
