#include "app/desktop/dialogs/disk_select_dialog.h"

#include <unistd.h>

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

using namespace marlin::desktop;

namespace {

// A /sys/block and /dev of whole disks, each node a sparse file of the disk's size.
class FakeMachine {
 public:
  QString sysBlock() const { return dir_.filePath(QStringLiteral("sys/block")); }
  QString dev() const { return dir_.filePath(QStringLiteral("dev")); }

  FakeMachine() {
    QDir().mkpath(sysBlock());
    QDir().mkpath(dev());
  }

  QString addDisk(const QString& name, qint64 size) {
    QDir().mkpath(sysBlock() + "/" + name + "/device");
    QFile removable(sysBlock() + "/" + name + "/removable");
    if (removable.open(QIODevice::WriteOnly)) removable.write("0\n");
    QFile node(dev() + "/" + name);
    if (node.open(QIODevice::WriteOnly)) node.resize(size);
    return node.fileName();
  }

 private:
  QTemporaryDir dir_;
};

struct Listed {
  DiskSelectDialog dialog;
  QListWidget* list;
  QPushButton* ok;

  explicit Listed(const FakeMachine& machine)
      : dialog(nullptr, machine.sysBlock().toStdString(), machine.dev().toStdString()),
        list(dialog.findChild<QListWidget*>(QStringLiteral("disks"))),
        ok(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)) {
    QSignalSpy listed(&dialog, &DiskSelectDialog::listed);
    dialog.show();
    listed.wait(10000);
  }
};

}  // namespace

class DiskSelectDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void okTakesTheFirstDiskUnlessAnotherIsSelectedAndDoubleClickOnlySelects() {
    FakeMachine machine;
    const QString first = machine.addDisk(QStringLiteral("sda"), qint64{120} << 30);
    const QString second = machine.addDisk(QStringLiteral("sdb"), qint64{8} << 30);

    {
      DiskSelectDialog dialog(nullptr, machine.sysBlock().toStdString(), machine.dev().toStdString());
      QCOMPARE(dialog.windowTitle(), QStringLiteral("Disk Select"));
      QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("status"))->text(), QStringLiteral("Looking for disks…"));
    }

    Listed untouched(machine);
    QCOMPARE(untouched.list->count(), 2);
    QCOMPARE(untouched.list->item(0)->text(),
             QString::fromStdString(marlin::formatDriveListText(0, "Fixed", std::uint64_t{120} << 30)) +
                 QStringLiteral("  ") + first);
    QVERIFY(untouched.ok->isEnabled());
    untouched.ok->click();
    QCOMPARE(untouched.dialog.result(), static_cast<int>(QDialog::Accepted));
    QCOMPARE(QString::fromStdString(untouched.dialog.selectedDevice()), first);

    Listed chosen(machine);
    QListWidgetItem* item = chosen.list->item(1);
    const QPoint centre = chosen.list->visualItemRect(item).center();
    QTest::mouseClick(chosen.list->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(chosen.list->viewport(), Qt::LeftButton, {}, centre);
    QCoreApplication::processEvents();
    QVERIFY(chosen.dialog.isVisible());
    QCOMPARE(chosen.list->currentRow(), 1);
    chosen.ok->click();
    QCOMPARE(QString::fromStdString(chosen.dialog.selectedDevice()), second);
  }

  void unreadableDisksAreExplainedAndNoDiskLeavesOkDisabled() {
    FakeMachine empty;
    Listed none(empty);
    QCOMPARE(none.list->count(), 0);
    QVERIFY(!none.ok->isEnabled());

    const QString permission = skippedDriveText({"/dev/sdb", marlin::Status::fromErrno(EACCES, "/dev/sdb")});
    QCOMPARE(permission, QStringLiteral("/dev/sdb cannot be read: permission denied. Reading a DVR disk needs "
                                        "membership of the \"disk\" group: sudo usermod -aG disk $USER, then log in "
                                        "again."));
    const QString missing = skippedDriveText({"/dev/sdc", marlin::Status::fromErrno(ENOENT, "cannot open /dev/sdc")});
    QCOMPARE(missing, QStringLiteral("cannot open /dev/sdc: No such file or directory"));
    const QString busy = skippedDriveText({"/dev/sdd", marlin::Status::fromErrno(EBUSY, "in use")});
    QCOMPARE(busy, QStringLiteral("/dev/sdd cannot be read: in use: Device or resource busy"));

    if (::geteuid() == 0) QSKIP("root reads a node whatever its mode");
    FakeMachine machine;
    machine.addDisk(QStringLiteral("sda"), qint64{1} << 30);
    const QString locked = machine.addDisk(QStringLiteral("sdb"), qint64{1} << 30);
    QVERIFY(QFile::setPermissions(locked, {}));
    Listed listed(machine);
    QCOMPARE(listed.list->count(), 1);
    const QString message = listed.dialog.findChild<QLabel*>(QStringLiteral("skipped"))->text();
    QVERIFY2(message.startsWith(locked + QStringLiteral(" cannot be read: permission denied.")), qPrintable(message));
    QVERIFY(message.contains(QStringLiteral("membership of the \"disk\" group: sudo usermod -aG disk $USER")));
  }
};

QTEST_MAIN(DiskSelectDialogTest)
#include "disk_select_dialog_test.moc"
