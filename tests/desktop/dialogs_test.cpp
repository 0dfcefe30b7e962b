#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "app/desktop/dialogs/about_dialog.h"
#include "app/desktop/dialogs/folder_browser.h"
#include "app/desktop/dialogs/login_dialog.h"
#include "app/desktop/dialogs/network_options_dialog.h"
#include "app/desktop/dialogs/options_dialog.h"

using namespace marlin::desktop;

namespace {

const QStringList kFormats = {"%Y/%m/%d %H:%M:%S",    "%y/%m/%d %H:%M:%S", "%Y/%m/%d %p %I:%M:%S",
                              "%y/%m/%d %p %I:%M:%S", "%b %d %H:%M:%S %Y", "%b %d %p %I:%M:%S %Y"};

template <typename T>
T* child(QWidget& parent, const char* name) {
  T* found = parent.findChild<T*>(QString::fromLatin1(name));
  if (found == nullptr) qFatal("no child named %s", name);
  return found;
}

// Check and radio buttons only take clicks on their indicator and text,
// which sit at the left of a row that may be much wider.
void clickButton(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// The next message boxes get the given answers in turn; the text and
// pictures of the last one answered are kept.
struct BoxAnswer {
  QString text;
  QMessageBox::Icon icon = QMessageBox::Information;
  bool buttonHasIcon = true;
};

void answerBoxes(BoxAnswer& seen, QList<QMessageBox::StandardButton> answers) {
  QTimer::singleShot(0, [&seen, answers]() mutable {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen.text = box->text();
    seen.icon = box->icon();
    const QList<QAbstractButton*> buttons = box->buttons();
    seen.buttonHasIcon = std::any_of(buttons.cbegin(), buttons.cend(),
                                     [](const QAbstractButton* button) { return !button->icon().isNull(); });
    QAbstractButton* button = box->button(answers.takeFirst());
    if (!answers.isEmpty()) answerBoxes(seen, answers);
    button->click();
  });
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void optionsOfferTheSixFormatsByExampleAndSelectTheValuesOwn() {
    const QStringList examples = {"2010/01/31 14:05:09",  "10/01/31 14:05:09",    "2010/01/31 PM 02:05:09",
                                  "10/01/31 PM 02:05:09", "Jan 31 14:05:09 2010", "Jan 31 PM 02:05:09 2010"};
    for (qsizetype index = 0; index < kFormats.size(); ++index) {
      PlayerOptionsValues values;
      values.timeFormat = kFormats[index].toStdString();
      OptionsDialog dialog(values);
      auto* combo = child<QComboBox>(dialog, "timeFormat");
      QStringList offered;
      for (int i = 0; i < combo->count(); ++i) offered << combo->itemText(i);
      QCOMPARE(offered, examples);
      QCOMPARE(combo->currentText(), examples[index]);
      QCOMPARE(dialog.values().timeFormat, values.timeFormat);
    }
  }

  void checkBoxesSayWhatTheyDoWithoutMenuMnemonics() {
    OptionsDialog options(PlayerOptionsValues{});
    NetworkOptionsDialog network(NetworkOptionsValues{});
    for (QDialog* dialog : std::initializer_list<QDialog*>{&options, &network}) {
      QCOMPARE(child<QCheckBox>(*dialog, "fastPath")->text(), QStringLiteral("Fast drawing"));
      const QRegularExpression mnemonic(QStringLiteral("\\(&?[A-Z]\\)"));
      for (const QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        QVERIFY2(!button->text().contains(mnemonic), qPrintable(button->text()));
      }
    }
  }

  void optionsGiveBackTheirCopyAndCancelLeavesTheCallersValues() {
    PlayerOptionsValues caller;
    caller.alwaysOnTop = true;
    caller.showTime = false;
    caller.repeat = true;
    caller.fastPath = false;
    caller.timeFormat = kFormats[4].toStdString();
    caller.capturePath = "/srv/stills";
    const PlayerOptionsValues original = caller;

    OptionsDialog dialog(caller);
    PlayerOptionsValues shown = dialog.values();
    QCOMPARE(shown.alwaysOnTop, true);
    QCOMPARE(shown.showTime, false);
    QCOMPARE(shown.repeat, true);
    QCOMPARE(shown.fastPath, false);
    QCOMPARE(shown.timeFormat, original.timeFormat);
    QCOMPARE(shown.capturePath, original.capturePath);

    dialog.show();
    for (const char* box : {"alwaysOnTop", "showTime", "repeat", "fastPath"}) {
      clickButton(child<QCheckBox>(dialog, box));
    }
    child<QComboBox>(dialog, "timeFormat")->setCurrentIndex(1);
    QTest::keyClicks(child<QLineEdit>(dialog, "capturePath"), "/more");
    const PlayerOptionsValues changed = dialog.values();
    QCOMPARE(changed.alwaysOnTop, false);
    QCOMPARE(changed.showTime, true);
    QCOMPARE(changed.repeat, false);
    QCOMPARE(changed.fastPath, true);
    QCOMPARE(changed.timeFormat, kFormats[1].toStdString());
    QCOMPARE(changed.capturePath, std::string("/srv/stills/more"));

    QTest::mouseClick(child<QPushButton>(dialog, "secondaryButton"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(caller.alwaysOnTop, original.alwaysOnTop);
    QCOMPARE(caller.showTime, original.showTime);
    QCOMPARE(caller.timeFormat, original.timeFormat);
    QCOMPARE(caller.capturePath, original.capturePath);
  }

  void networkOptionsGiveBackNumbersAndTheMouseMode() {
    NetworkOptionsValues values;
    values.autoReconnection = false;
    values.ddnsIp = "10.0.0.9";
    values.ddnsPort = 1900;
    values.localRecordingPath = "/srv/live";
    values.timeoutSeconds = 10;
    NetworkOptionsDialog dialog(values);
    const NetworkOptionsValues back = dialog.values();
    QCOMPARE(back.timeoutSeconds, 10);
    QCOMPARE(back.ddnsPort, 1900);
    QCOMPARE(back.ddnsIp, values.ddnsIp);
    QCOMPARE(back.localRecordingPath, values.localRecordingPath);
    QCOMPARE(back.autoReconnection, false);
    QCOMPARE(back.fastPath, true);

    dialog.show();
    auto* timeout = child<QSpinBox>(dialog, "timeoutSeconds");
    timeout->selectAll();
    QTest::keyClicks(timeout, "abc");
    QCOMPARE(dialog.values().timeoutSeconds, 10);
    timeout->selectAll();
    QTest::keyClicks(timeout, "25");
    QCOMPARE(dialog.values().timeoutSeconds, 25);

    for (int mode : {0, 1, 2}) {
      values.mouseMode = mode;
      NetworkOptionsDialog shown(values);
      QVERIFY(child<QRadioButton>(shown, qPrintable(QStringLiteral("mouseMode%1").arg(mode)))->isChecked());
      QCOMPARE(shown.values().mouseMode, mode);
    }
    const char* texts[] = {"Disable", "Enable & Hidden cusor on DVR side", "Enable & Display cusor on DVR side"};
    for (int mode : {2, 0, 1}) {
      auto* button = child<QRadioButton>(dialog, qPrintable(QStringLiteral("mouseMode%1").arg(mode)));
      QCOMPARE(button->text().replace("&&", "&"), QString::fromLatin1(texts[mode]));
      clickButton(button);
      QCOMPARE(dialog.values().mouseMode, mode);
    }
  }

  void loginShowsAddressOrNameAsTheFlagSays() {
    LoginValues values;
    values.address = "10.0.0.1";
    values.dvrName = "GATE";
    values.port = 9000;
    LoginDialog dialog(values);
    dialog.show();
    auto* label = child<QLabel>(dialog, "targetLabel");
    auto* target = child<QLineEdit>(dialog, "target");
    auto* port = child<QSpinBox>(dialog, "port");
    auto* ddns = child<QCheckBox>(dialog, "ddns");
    QVERIFY(!ddns->isVisible());
    QCOMPARE(child<QLineEdit>(dialog, "password")->echoMode(), QLineEdit::Password);

    QCOMPARE(label->text(), QStringLiteral("IP address:"));
    QCOMPARE(target->text(), QStringLiteral("10.0.0.1"));
    QVERIFY(port->isVisible());

    ddns->setChecked(true);
    QCOMPARE(label->text(), QStringLiteral("Select DVR"));
    QCOMPARE(target->text(), QStringLiteral("GATE"));
    QVERIFY(!port->isVisible());
    QVERIFY(!dialog.findChild<QFormLayout*>()->labelForField(port)->isVisible());

    ddns->setChecked(false);
    QCOMPARE(target->text(), QStringLiteral("10.0.0.1"));
    QVERIFY(port->isVisible());

    values.ddns = true;
    LoginDialog named(values);
    QCOMPARE(child<QLineEdit>(named, "target")->text(), QStringLiteral("GATE"));
    QCOMPARE(child<QLabel>(named, "targetLabel")->text(), QStringLiteral("Select DVR"));
  }

  void loginStoresTheEditAsNameOrAddress() {
    LoginValues values;
    values.address = "10.0.0.1";
    values.dvrName = "GATE";
    LoginDialog dialog(values);
    dialog.show();
    auto* target = child<QLineEdit>(dialog, "target");
    target->clear();
    QTest::keyClicks(target, "10.1.1.1");
    QTest::keyClicks(child<QLineEdit>(dialog, "password"), "secret");
    auto* login = child<QPushButton>(dialog, "primaryButton");
    QCOMPARE(login->text(), QStringLiteral("Login"));
    QVERIFY(login->isDefault());
    QVERIFY(login->x() > child<QPushButton>(dialog, "secondaryButton")->x());
    LoginValues back = dialog.values();
    QCOMPARE(back.ddns, false);
    QCOMPARE(back.address, std::string("10.1.1.1"));
    QCOMPARE(back.dvrName, std::string("GATE"));
    QCOMPARE(back.password, std::string("secret"));
    QCOMPARE(back.port, 8841);

    child<QCheckBox>(dialog, "ddns")->setChecked(true);
    target->clear();
    QTest::keyClicks(target, "YARD");
    back = dialog.values();
    QCOMPARE(back.ddns, true);
    QCOMPARE(back.dvrName, std::string("YARD"));
    QCOMPARE(back.address, std::string("10.1.1.1"));
  }

  void folderBrowserHoldsOnUntilTheFolderIsThere() {
    QTemporaryDir dir;
    FolderBrowser browser(nullptr, dir.path().toStdString());
    QCOMPARE(browser.windowTitle(), QStringLiteral("Find Folder"));
    QCOMPARE(browser.directory().absolutePath(), dir.path());
    browser.show();
    auto* field = child<QLineEdit>(browser, "fileNameEdit");
    BoxAnswer seen;

    const QString invalid = dir.path() + "/bad./x";
    field->setText(invalid);
    child<QTreeView>(browser, "treeView")->setFocus();
    answerBoxes(seen, {QMessageBox::Ok});
    browser.accept();
    QCOMPARE(seen.icon, QMessageBox::NoIcon);
    QVERIFY(!seen.buttonHasIcon);
    QCOMPARE(seen.text,
             QString::fromStdString("The folder:\n\n" + invalid.toStdString() + "\n\nis invalid. Please reenter."));
    QVERIFY(browser.isVisible());
    QCOMPARE(browser.focusWidget(), field);

    const std::string blocker = (dir.path() + "/blocker").toStdString();
    std::ofstream(blocker) << "x";
    field->setText(QString::fromStdString(blocker + "/sub"));
    answerBoxes(seen, {QMessageBox::Yes, QMessageBox::Ok});
    browser.accept();
    QCOMPARE(seen.icon, QMessageBox::NoIcon);
    QCOMPARE(seen.text.toStdString(), "The folder:\n\n" + blocker + "/sub\n\ncan not be created. Please double check.");
    QVERIFY(browser.isVisible());

    const QString missing = dir.path() + "/new/inner";
    field->setText(missing);
    answerBoxes(seen, {QMessageBox::No});
    browser.accept();
    QCOMPARE(seen.icon, QMessageBox::NoIcon);
    QVERIFY(!seen.buttonHasIcon);
    QVERIFY(seen.text.startsWith("The folder:\n\n" + missing + "\n\ndoes not exist."));
    QVERIFY(browser.isVisible());
    QCOMPARE(field->text(), missing);
    QVERIFY(!std::filesystem::exists((dir.path() + "/new").toStdString()));

    answerBoxes(seen, {QMessageBox::Yes});
    browser.accept();
    QVERIFY(!browser.isVisible());
    QCOMPARE(browser.result(), int(QDialog::Accepted));
    QCOMPARE(browser.chosenFolder(), missing.toStdString());
    QVERIFY(std::filesystem::is_directory(missing.toStdString()));

    FolderBrowser fresh(nullptr, "");
    QCOMPARE(fresh.directory().absolutePath(), QDir::currentPath());
  }

  void aboutNamesTheProductAndBothVersions() {
    AboutDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About Viewer"));
    QCOMPARE(child<QLabel>(dialog, "aboutProduct")->text(), QStringLiteral("Marlin Viewer 2.74"));
    QVERIFY(child<QLabel>(dialog, "aboutVersion")->text().endsWith("2.7.4.0"));
    QCOMPARE(child<QLabel>(dialog, "aboutLibrary")->text(), QStringLiteral("Lib: 2.74"));
    QCOMPARE(dialog.findChild<QLabel*>("aboutIcon") != nullptr, QFile::exists(":/icons/marlin-viewer.svg"));
  }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
