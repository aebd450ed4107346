// The real Qt window on the offscreen platform: controls built from the
// templates, the event table, the Enter rule, settings, and pictures of the
// three dialogs under the build folder.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <deque>
#include <memory>
#include <thread>

#include "../state_fixture.h"
#include "app/strings.h"
#include "main_window_host.h"
#include "translations.h"
#include "platform/profile.h"
#include "robot/command_record.h"
#include "ui/dialog_template.h"

using namespace quorvel;

namespace {

using test::Bytes;

// Runs fn once the next modal dialog is up, on that dialog.
void WithModal(std::function<void(qt::QtDialog&)> fn) {
  QTimer::singleShot(50, [fn] {
    auto* d = dynamic_cast<qt::QtDialog*>(QApplication::activeModalWidget());
    QVERIFY(d);
    fn(*d);
  });
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::TempDir> dir;
  std::unique_ptr<test::ScopedCwd> cwd;
  std::unique_ptr<qt::MainWindowHost> host;
  std::vector<int> messages;
  std::deque<ui::Answer> answers;

  std::string Ini() { return *dir / "Quorvel.ini"; }
  std::string Log() { return test::ReadFile(*dir / "card/ADDON/REMOTE.LOG"); }
  qt::QtDialog& W() { return host->window(); }
  std::shared_ptr<speech::ScriptedEngine> engine = [] {
    auto e = std::make_shared<speech::ScriptedEngine>();
    e->results.loadCmd = speech::kOk;  // the test catalogues are bare entry lines
    return e;
  }();
  template <class T> T* C(int id) { return qobject_cast<T*>(W().Control(id)); }
  QListWidget* List() { return C<QListWidget>(1000); }
  QStringList Lines() {
    QStringList out;
    for (int i = 0; i < List()->count(); ++i) out << List()->item(i)->text();
    return out;
  }
  void Click(int id) { QTest::mouseClick(W().Control(id), Qt::LeftButton); }
  void Enter(QWidget* w) { QTest::keyClick(w, Qt::Key_Return); }

 private slots:
  void init() {
    dir = std::make_unique<test::TempDir>();
    cwd = std::make_unique<test::ScopedCwd>(dir->path());
    std::filesystem::create_directories("card/ADDON");
    test::WriteFile("card/ADDON/REMOTE.LOG", "");
    test::WriteFile("Ninshiki.xml", test::CatalogueLine("1,3,0", "/hello/" + test::S("はろー") + ";") +
                                        test::CatalogueLine("2,3,2", "/numure/n;") +
                                        test::CatalogueLine("3,3,1", "/temmo/t;"));
    test::WriteFile("voice.xml", test::CatalogueLine("12,4,0", "/twelve/t;"));
    test::WriteFile("Program.xml", "");
    test::WriteFile(Ini(), "[REMOTE]\r\nREMOTE_DIR=" + *dir / "card/" + "\r\n[SPEECH]\r\nAUTOSTART=0\r\n");
    host = std::make_unique<qt::MainWindowHost>(StateOptions{*dir / "Quorvel", dir->path().string(), "", engine});
    messages.clear();
    answers.clear();
    W().messageHook = [this](int id, const QString&, ui::Icon, ui::Buttons b) {
      messages.push_back(id);
      if (b == ui::Buttons::Ok || answers.empty()) return b == ui::Buttons::Ok ? ui::Answer::Ok : ui::Answer::No;
      ui::Answer a = answers.front();
      answers.pop_front();
      return a;
    };
    W().fileDialogHook = [](const ui::FileDialogRequest&) { return std::optional<std::string>(); };
    host->Initialise();
    W().show();
    QVERIFY(QTest::qWaitForWindowExposed(&W()));
  }
  void cleanup() {
    host.reset();
    cwd.reset();
    dir.reset();
  }

  // The recogniser's thread queues a recognition; the window hears of it
  // through its event loop and the robot plays the entry.
  void recognitionsReachTheWindowFromTheRecogniserThread() {
    Click(1037);
    QVERIFY(C<QCheckBox>(1037)->isChecked());
    QVERIFY(engine->Session());
    std::thread([this] { engine->Hear("temmo"); }).join();
    QTRY_COMPARE(C<QLabel>(1033)->text(), QString("temmo"));
    QCOMPARE(test::ReadFile("card/ADDON/REMOTE.LOG"), Bytes(MakeVoiceCommand(3, 3, 50, 0, 1000)));
    Click(1038);  // general mode: dictation only
    QCOMPARE(engine->Session()->rules, speech::RuleState::Inactive);
    QCOMPARE(engine->Session()->dictation, speech::RuleState::Active);
    Click(1037);
    QVERIFY(!engine->Session());
    QVERIFY(messages.empty());
  }

  void startsInDataSet0() {
    QVERIFY(C<QRadioButton>(1011)->isChecked());
    QVERIFY(!W().Control(9)->isEnabled());
    QVERIFY(W().Control(6)->isEnabled());
    QCOMPARE(W().windowTitle(), QString("クオルベル"));
    QCOMPARE(Lines(), QStringList({"hello", "temmo"}));  // model mask 1 hides flags 2
  }

  void radiosSwitchAndAMissingCatalogueKeepsTheLines() {
    Click(1013);
    QCOMPARE(Lines(), QStringList({"twelve"}));
    Click(1012);  // no English.xml
    QCOMPARE(messages, std::vector<int>{IDS_LOAD_FAILED});
    QCOMPARE(Lines(), QStringList({"twelve"}));
    QVERIFY(C<QRadioButton>(1012)->isChecked());
    Click(1015);
    QCOMPARE(Lines().front(), QString("プログラムフォルダー更新"));
    Click(1011);
    QCOMPARE(Lines().size(), 2);
  }

  void selectingALineShowsItsReading() {
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                      List()->visualItemRect(List()->item(0)).center());
    QCOMPARE(C<QLineEdit>(1032)->text(), QString("はろー"));
  }

  void enterRegistersInTheReadingBoxAndSendsElsewhere() {
    List()->setCurrentRow(0);
    C<QLineEdit>(1032)->setText("よみ");
    C<QLineEdit>(1032)->setFocus();
    answers.push_back(ui::Answer::No);
    Enter(C<QLineEdit>(1032));
    QCOMPARE(messages, std::vector<int>{IDS_CONFIRM_REPLACE});
    QVERIFY(W().isVisible());
    QCOMPARE(Log(), std::string());
    for (QWidget* focus : {static_cast<QWidget*>(List()), W().Control(3), W().Control(1026)}) {
      test::WriteFile(*dir / "card/ADDON/REMOTE.LOG", "");
      C<QLineEdit>(1026)->setText("3+4");
      focus->setFocus();
      Enter(focus);
      QCOMPARE(Log(), Bytes(MakeArithmeticCommand({1, 3, 4})));
      QVERIFY(W().isVisible());
    }
  }

  void doubleClickSendsTheLine() {
    QRect r = List()->visualItemRect(List()->item(1));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(Log(), Bytes(MakeVoiceCommand(3, 3, 50, 0, 1000)));
    QCOMPARE(C<QLineEdit>(1026)->text(), QString("3"));
  }

  // Names in codes that Unicode maps back to other bytes (NEC row 13, the
  // IBM extensions, NEC's selection of them): the line is still the entry.
  void namesThatDoNotSurviveUnicodeStillWork() {
    const std::string names[] = {"\x87\x90", "\xFA\x4A", "\xED\x40"};
    std::string lines;
    for (int i = 0; i < 3; ++i) lines += test::CatalogueLine(std::to_string(20 + i) + ",1", "/" + names[i] + "/r;");
    test::WriteFile("ura_voice.xml", lines);
    Click(1014);
    QCOMPARE(List()->count(), 3);
    for (int i = 0; i < 3; ++i) {
      QRect r = List()->visualItemRect(List()->item(i));
      QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, r.center());
      QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, r.center());
      QCOMPARE(Log(), Bytes(MakeVoiceCommand(static_cast<std::int16_t>(20 + i), 1, 50, 3, 1000)));
    }
    List()->setCurrentRow(2);
    C<QLineEdit>(1032)->setText("よみ");
    answers.push_back(ui::Answer::Yes);
    Click(6);
    QVERIFY(test::ReadFile("ura_voice.xml").find("/" + names[2] + "/" + test::S("よみ") + ";") != std::string::npos);
    QVERIFY(messages == std::vector<int>{IDS_CONFIRM_REPLACE});
  }

  // Qt's own buttons speak Japanese when the user set no locale.
  void standardButtonsAreJapanese() {
    const char* saved[] = {std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG")};
    std::string keep[3];
    for (int i = 0; i < 3; ++i) keep[i] = saved[i] ? saved[i] : "";
    for (const char* v : {"LC_ALL", "LC_MESSAGES", "LANG"}) ::unsetenv(v);
    QVERIFY(qt::InstallQtTranslations(*QCoreApplication::instance()));
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    QVERIFY(box.button(QMessageBox::Yes)->text().contains("はい"));
    QVERIFY(box.button(QMessageBox::No)->text().contains("いいえ"));
    const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    for (int i = 0; i < 3; ++i)
      if (saved[i]) ::setenv(names[i], keep[i].c_str(), 1);
  }

  void escClosesAndShutdownWritesTheKeys() {
    Click(1013);
    QTest::keyClick(&W(), Qt::Key_Escape);
    QVERIFY(!W().isVisible());
    host.reset();
    QCOMPARE(profile::GetString("DATA", "PLAYER_TYPE", "", Ini()), std::string("2"));
    QCOMPARE(profile::GetString("SPEECH", "GENERAL", "", Ini()), std::string("0"));
  }

  void settingsVolumeRangeAndStoredKeys() {
    struct Case {
      QString volume;
      bool accepted;
      std::string stored;
    };
    const Case cases[] = {{"100", true, "100"}, {"101", false, ""}, {"-1", false, ""}, {"abc", true, "0"}};
    for (const auto& c : cases) {
      profile::WriteString("SOUND", "DEFAULT", "50", Ini());
      messages.clear();
      WithModal([&](qt::QtDialog& d) {
        QCOMPARE(d.windowTitle(), QString("設定ダイアログ"));
        qobject_cast<QLineEdit*>(d.Control(1036))->setText(c.volume);
        QTest::mouseClick(d.Control(1), Qt::LeftButton);
        if (!c.accepted) {
          QVERIFY(d.isVisible());
          QCOMPARE(d.FocusedControl(), 1036);
          QTest::mouseClick(d.Control(2), Qt::LeftButton);
        }
      });
      Click(8);
      QCOMPARE(profile::GetString("SOUND", "DEFAULT", "", Ini()), c.accepted ? c.stored : "50");
      QCOMPARE(messages, c.accepted ? std::vector<int>{} : std::vector<int>{IDS_VOLUME_RANGE});
    }
    // Unchanged mask: VERSION not written; the list keeps its texts.
    QCOMPARE(profile::GetString("DATA", "VERSION", "unset", Ini()), std::string("unset"));
    WithModal([](qt::QtDialog& d) {
      QTest::mouseClick(d.Control(1033), Qt::LeftButton);  // ヌムレ on
      QTest::keyClick(d.Control(1036), Qt::Key_Return);    // Enter presses OK here
    });
    Click(8);
    QCOMPARE(profile::GetString("DATA", "VERSION", "", Ini()), std::string("3"));
    QCOMPARE(Lines(), QStringList({"hello", "numure", "temmo"}));
    // Cancel stores nothing.
    WithModal([](qt::QtDialog& d) {
      QTest::mouseClick(d.Control(1035), Qt::LeftButton);
      QTest::keyClick(&d, Qt::Key_Escape);
    });
    Click(8);
    QCOMPARE(profile::GetString("REMOTE", "CONNECT_TYPE", "", Ini()), std::string("1"));
  }

  // Every control's whole text is shown, in all three dialogs (the test runs
  // at 96 and at 144 dots per inch).
  void everyTextFits() {
    auto check = [](QWidget& dialog) {
      for (QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        QVERIFY2(qt::TextFits(w), qPrintable(dialog.windowTitle() + ": " + w->objectName() + " " +
                                             w->property("text").toString() + w->property("title").toString()));
    };
    check(W());
    for (int id : {ui::kSettingsDialogId, ui::kAboutDialogId}) {
      WithModal([check](qt::QtDialog& d) {
        check(d);
        d.reject();
      });
      if (id == ui::kAboutDialogId) host->ShowAbout();
      else Click(8);
    }
  }

  void picturesOfTheDialogs() {
    const QString out = QUORVEL_SHOT_DIR;
    const QString suffix = qEnvironmentVariable("QUORVEL_SHOT_SUFFIX");
    QDir().mkpath(out);
    QVERIFY(W().grab().save(out + "/main-window" + suffix + ".png"));
    for (int id : {ui::kSettingsDialogId, ui::kAboutDialogId}) {
      const QString ini = QString::fromStdString(Ini());
      WithModal([out, id, ini, suffix](qt::QtDialog& d) {
        if (id == ui::kAboutDialogId)  // the About box names the settings file in use
          QVERIFY(qobject_cast<QLabel*>(d.Control(ui::kAboutIniText))->text().contains(ini));
        QVERIFY(d.grab().save(out + QString("/dialog-%1").arg(id) + suffix + ".png"));
        d.reject();
      });
      if (id == ui::kAboutDialogId) host->ShowAbout();
      else Click(8);
    }
    QVERIFY(QFileInfo(out + "/dialog-130" + suffix + ".png").size() > 0);
    QVERIFY(QFileInfo(out + "/dialog-100" + suffix + ".png").size() > 0);
  }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
