#include <sys/stat.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "model/DeleteNodes.h"
#include "common/SizeText.h"
#include "common/Translate.h"
#include "platform/linux/LinuxPlatform.h"
#include "shell/ShellServices.h"
#include "support/TempTree.h"
#include "ui/AboutBox.h"
#include "ui/DeleteCommand.h"
#include "ui/DeleteConfirmDialog.h"
#include "ui/FileOperationDialog.h"
#include "ui/ItemContextMenu.h"

namespace {

bool Exists(const std::string &path)
{
    struct stat st
    { };
    return ::lstat(path.c_str(), &st) == 0;
}

// A tree on disk and its model, as a scan with a small-files threshold of 10 bytes builds it:
// <tmp>/a/{x 100, y 200, s1 5, s2 7}, <tmp>/b 1000.
struct TScannedTree
{
    TempTree Disk;
    TRootDirNode Root;
    TDirNode *A = nullptr;

    TScannedTree()
    {
        Root.SetName(Disk.Path());
        Root.SetGroupFileSize(10);
        A = Root.AddChildDir("a");
        for (const auto &[name, size] : {std::pair {"x", 100}, {"y", 200}, {"s1", 5}, {"s2", 7}})
            Add(*A, std::string("a/") + name, size);
        Add(Root, "b", 1000);
        A->RecalcSizeAndFileCount();
        Root.RecalcSizeAndFileCount();
    }
    void Add(TDirNode &dir, const std::string &rel, std::int64_t size)
    {
        Disk.MakeFile(rel, size);
        auto file = TFileNode::Create(rel.substr(rel.rfind('/') + 1));
        file->SetSize(size);
        if (size < 10) {
            TFileGroupNode *group = dir.GetSmallFilesGroup();
            group->AddChildNode(std::move(file));
            group->RecalcSizeAndFileCount();
        } else {
            dir.AddChildNode(std::move(file));
        }
    }
    TDeleteEntry Entry(const std::string &rel)
    {
        TFileSystemNode *node = Root.FindChildNodePath(Disk / rel);
        return {Disk / rel, node};
    }
};

QString GAskedQuestion;
bool Refuse(TDeleteConfirmDialog &dialog)
{
    GAskedQuestion = dialog.Question();
    return false;
}
bool Confirm(TDeleteConfirmDialog &dialog)
{
    GAskedQuestion = dialog.Question();
    return true;
}

} // namespace

class FileCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InstallPlatform(LinuxPlatform()); }
    void init()
    {
        FData = std::make_unique<TempTree>();
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(FData->Path()));
    }
    void cleanup()
    {
        TDeleteConfirmDialog::TestAnswer = nullptr;
        FData.reset();
    }

    void cancelledConfirmationLeavesEveryRowAndFile()
    {
        TScannedTree tree;
        TDeleteConfirmDialog::TestAnswer = Refuse;
        const auto outcome = TDeleteCommand::Run(
            nullptr, &tree.Root, {tree.Entry("a"), tree.Entry("b")}, true, FileSizeToStrTruncated);
        QVERIFY(!outcome.Confirmed);
        QVERIFY(GAskedQuestion.contains(QStringLiteral("2 (")));
        QVERIFY(Exists(tree.Disk / "a/x") && Exists(tree.Disk / "b"));
        QCOMPARE(tree.Root.FileCount(), 5);
        QCOMPARE(tree.Root.GetSize(), 1312);
        QCOMPARE(tree.Root.InterlockedChildCount(), 2);
    }

    void nestedSelectionGoesToTheTrashOnceAndLeavesTheModel()
    {
        TScannedTree tree;
        TDeleteConfirmDialog::TestAnswer = Confirm;
        // The file inside the selected folder is part of the folder's move.
        const auto outcome = TDeleteCommand::Run(nullptr, &tree.Root,
            {tree.Entry("a/x"), tree.Entry("a"), tree.Entry("a/y")}, false, FileSizeToStrTruncated);
        QVERIFY(outcome.Confirmed);
        QVERIFY2(outcome.Result.Code == 0, outcome.Result.FailureText().c_str());
        QCOMPARE(outcome.Result.Trashed.size(), std::size_t(1));
        QVERIFY(GAskedQuestion.contains(QStringLiteral("\"a\"")));
        QVERIFY(GAskedQuestion.contains(QStringLiteral("trash")));
        QVERIFY(Exists(*FData / "Trash/files/a/x"));
        QVERIFY(!Exists(tree.Disk / "a"));
        QCOMPARE(outcome.RemovedFromModel, std::vector<std::string> {tree.Disk / "a"});
        QCOMPARE(tree.Root.GetSize(), 1000);
        QCOMPARE(tree.Root.FileCount(), 1);
    }

    void aGroupRowDeletesItsMembers()
    {
        TScannedTree tree;
        TDeleteConfirmDialog::TestAnswer = Confirm;
        TFileGroupNode *group = tree.A->SmallFilesGroup();
        const auto outcome = TDeleteCommand::Run(
            nullptr, &tree.Root, {{group->GetFullPathName(), group}}, true, FileSizeToStrTruncated);
        QVERIFY2(outcome.Result.Code == 0, outcome.Result.FailureText().c_str());
        QVERIFY(!Exists(tree.Disk / "a/s1") && !Exists(tree.Disk / "a/s2"));
        QVERIFY(Exists(tree.Disk / "a/x"));
        QCOMPARE(tree.A->SmallFilesGroup(), nullptr);
        QCOMPARE(tree.A->GetSize(), 300);
        QCOMPARE(tree.Root.GetSize(), 1300);
        QCOMPARE(tree.Root.FileCount(), 3);
    }

    void busyFoldersAreRefused()
    {
        TScannedTree tree;
        TDeleteConfirmDialog::TestAnswer = Confirm;
        const TDirNode *scanning = tree.A;
        const auto outcome = TDeleteCommand::Run(nullptr, &tree.Root, {tree.Entry("a/x")}, true, FileSizeToStrTruncated,
            [scanning](const TDeleteEntry &entry) { return IsSameOrBelow(entry.Node, scanning); });
        QVERIFY(outcome.Busy);
        QVERIFY(!outcome.Confirmed);
        QVERIFY(Exists(tree.Disk / "a/x"));
    }

    void progressShowsAfterItsDelayAndCancels()
    {
        TFileOperationDialog dialog(QStringLiteral("Deleting"), 100);
        QSignalSpy shown(&dialog, &TFileOperationDialog::ProgressShown);
        connect(&dialog, &TFileOperationDialog::ProgressShown, &dialog, [&] {
            QVERIFY(dialog.isVisible());
            QTimer::singleShot(50, dialog.CancelButton(), &QPushButton::click);
        });
        const TFileOpResult result = dialog.Run(
            [](const TFileOpProgress &progress) {
                TFileOpResult r;
                for (int i = 0; i < 100000 && !r.Aborted; ++i) {
                    QThread::msleep(1);
                    r.Aborted = !progress("/x/" + std::to_string(i));
                }
                return r;
            },
            20);
        QCOMPARE(shown.count(), 1);
        QVERIFY(result.Aborted);
        QVERIFY(!dialog.isVisible());
        // A quick operation never shows the dialog.
        TFileOperationDialog quick(QStringLiteral("Deleting"), 1);
        QSignalSpy quickShown(&quick, &TFileOperationDialog::ProgressShown);
        quick.Run([](const TFileOpProgress &) { return TFileOpResult {}; });
        QCOMPARE(quickShown.count(), 0);
    }

    void contextMenuEntriesFollowThePath()
    {
        TempTree tree;
        tree.MakeFile("f.txt", 3);
        std::vector<std::pair<std::string, bool>> asked;
        const auto handler = [&](const std::string &path, bool permanent) { asked.emplace_back(path, permanent); };
        struct TCase
        {
            std::string Path;
            bool Open, Delete;
        };
        const TCase cases[] = {
            {tree / "f.txt", true, true},
            {tree / "missing", false, false},
            {"/", true, false},
            {QDir::homePath().toStdString(), true, false},
        };
        for (const TCase &c : cases) {
            TItemContextMenu menu(c.Path, handler, true);
            QCOMPARE(menu.ActOpen->isEnabled(), c.Open);
            QCOMPARE(menu.ActShowInFileManager->isEnabled(), c.Open);
            QCOMPARE(menu.ActMoveToTrash->isEnabled(), c.Delete);
            QCOMPARE(menu.ActDeletePermanently->isEnabled(), c.Delete);
        }
        TItemContextMenu disabled(tree / "f.txt", handler, false);
        QVERIFY(!disabled.ActMoveToTrash->isEnabled());

        TItemContextMenu menu(tree / "f.txt", handler, true);
        menu.ActCopyPath->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(tree / "f.txt"));
        menu.ActDeletePermanently->trigger();
        QVERIFY(asked.empty()); // runs once the menu is gone
        QTRY_COMPARE(asked.size(), std::size_t(1));
        QCOMPARE(asked[0], std::make_pair(tree / "f.txt", true));
    }

    void aboutBoxNamesVersionHomepageAndRights()
    {
        TFormAbout about;
        QCOMPARE(about.VersionLine(), QString::fromStdString("Version " + std::string(ZUMBREL_VERSION).substr(0, 3)));
        QVERIFY(about.HomepageLine().contains(QString::fromStdString(ProgramHomepageUrl())));
        bool rights = false;
        for (const QLabel *label : about.findChildren<QLabel *>())
            rights = rights || label->text().contains(QString::fromUtf8(RightsHolder));
        QVERIFY(rights);
    }

    void aboutBoxNamesTheCatalogsTranslator()
    {
        InitTranslation(); // the catalogs beside the test program
        std::vector<std::string> languages;
        GetListOfLanguages(TextDomain(), languages);
        if (std::find(languages.begin(), languages.end(), "de") == languages.end())
            QSKIP("no German catalog built");
        UseLanguage("de");
        const TFormAbout german;
        UseLanguage("en");
        const TFormAbout english;
        QCOMPARE(german.TranslatorLine(), QStringLiteral("Übersetzung: Zumbrel developers"));
        QVERIFY(english.TranslatorLine().isEmpty());
    }

private:
    std::unique_ptr<TempTree> FData;
};

QTEST_MAIN(FileCommandsTest)
#include "file_commands_test.moc"
