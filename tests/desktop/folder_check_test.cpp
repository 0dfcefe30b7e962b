#include "app/desktop/dialogs/folder_check.h"

#include <unistd.h>

#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

using namespace marlin::desktop;
namespace fs = std::filesystem;

class FolderCheckTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  std::string path(const char* tail) const { return (dir_.path() + "/" + tail).toStdString(); }

  // Checks a path, counting the questions asked and answering them with answer.
  static FolderCheckResult check(const std::string& path, bool answer, int* asked) {
    return checkFolder(path, [&] {
      ++*asked;
      return answer;
    });
  }

 private slots:
  void namesThatWouldNotTravelAreInvalidAndNothingIsAsked() {
    const std::string base = path("");
    for (const std::string& bad : {std::string("relative/path"),
                                   std::string(""),
                                   std::string("/srv/a./b"),
                                   base + " lead",
                                   base + "trail ",
                                   base + "\ttab",
                                   base + ".hidden",
                                   base + "a//b",
                                   base + "a/./b",
                                   base + "a/../b",
                                   base + "a?b",
                                   base + "a*b",
                                   base + "a:b",
                                   base + "a<b",
                                   base + "a>b",
                                   base + "a|b",
                                   base + "a\\b",
                                   base + "a\"b",
                                   base + "a\x01"
                                          "b",
                                   base + "x//"}) {
      int asked = 0;
      QVERIFY2(check(bad, true, &asked) == FolderCheckResult::Invalid, bad.c_str());
      QCOMPARE(asked, 0);
    }
    QVERIFY(!fs::exists(base + "x"));
  }

  void existingFoldersAreAcceptedWithoutAsking() {
    int asked = 0;
    QCOMPARE(check("/", false, &asked), FolderCheckResult::Accepted);
    QCOMPARE(check(dir_.path().toStdString(), false, &asked), FolderCheckResult::Accepted);
    QCOMPARE(check(dir_.path().toStdString() + "/", false, &asked), FolderCheckResult::Accepted);
    QCOMPARE(asked, 0);
  }

  void aFileIsNotAFolder() {
    const std::string file = path("plain.txt");
    std::ofstream(file) << "x";
    int asked = 0;
    QCOMPARE(check(file, true, &asked), FolderCheckResult::Invalid);
    QCOMPARE(asked, 0);
  }

  void aMissingFolderIsCreatedLevelByLevelOnYesAndLeftAloneOnNo() {
    const std::string nested = path("new/deeper/deepest");
    int asked = 0;
    QCOMPARE(check(nested, false, &asked), FolderCheckResult::Declined);
    QCOMPARE(asked, 1);
    QVERIFY(!fs::exists(path("new")));

    asked = 0;
    QCOMPARE(check(nested + "/", true, &asked), FolderCheckResult::Accepted);
    QCOMPARE(asked, 1);
    QVERIFY(fs::is_directory(nested));
  }

  void aLevelThatCannotBeMadeGivesCannotCreate() {
    const std::string file = path("blocker");
    std::ofstream(file) << "x";
    int asked = 0;
    QCOMPARE(check(file + "/sub", true, &asked), FolderCheckResult::CannotCreate);
    QCOMPARE(asked, 1);
  }

  void aFolderUnderAReadOnlyParentCannotBeCreated() {
    if (geteuid() == 0) QSKIP("root may write into read-only folders");
    QTemporaryDir parent;
    const std::string locked = (parent.path() + "/locked").toStdString();
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    int asked = 0;
    const FolderCheckResult result = check(locked + "/a/b", true, &asked);
    fs::permissions(locked, fs::perms::owner_all);
    QCOMPARE(result, FolderCheckResult::CannotCreate);
    QVERIFY(!fs::exists(locked + "/a"));
  }

  void messagesQuoteTheFolderOnALineOfItsOwn() {
    QCOMPARE(folderInvalidMessage("/srv/a."), std::string("The folder:\n\n/srv/a.\n\nis invalid. Please reenter."));
    QCOMPARE(folderCannotCreateMessage("/srv/x"),
             std::string("The folder:\n\n/srv/x\n\ncan not be created. Please double check."));
    QCOMPARE(folderCreateQuestion("/srv/y"),
             std::string("The folder:\n\n/srv/y\n\ndoes not exist. Do you want the folder to be created?"));
  }
};

QTEST_GUILESS_MAIN(FolderCheckTest)
#include "folder_check_test.moc"
