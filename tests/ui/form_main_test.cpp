// The main window driving real scans of real folders.
#include <fstream>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QTreeView>
#include <QWindow>

#include "UiTestSupport.h"
#include "export/TreeTypesExport.h"
#include "common/MessageBoxes.h"
#include "common/Translate.h"
#include "paint/Color.h"

namespace {

// A folder big enough that its scan is still running a moment after it started.
const std::string BigFolder = "/usr";

QModelIndex RowOf(const TFormMain &form, const TFileSystemNode *node)
{
    return form.Model()->FindCreatedRow(node);
}

TDirNode *ChildDir(TGroupNode &parent, std::string_view name)
{
    return dynamic_cast<TDirNode *>(parent.FindChildNode(name));
}

} // namespace

class FormMainTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InitUiTests(); }

    void scanShowsTitleDurationAndTotals()
    {
        TempTree tree;
        tree.MakeFile("a/one.bin", 2000000);
        tree.MakeFile("b/two.bin", 3000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Zumbrel"));
        form.ShowScanDuration(3.25);
        QCOMPARE(form.StatusText(1), QString::fromStdString("3.25 " + _("sec.")));
        form.ShowScanDuration(-1);
        QVERIFY(form.StatusText(1).isEmpty());
        // The tree's first focus selects a row, which writes the status bar; let it happen
        // before the scan so that the end of the scan writes last.
        form.Tree()->setEnabled(true);
        form.Tree()->setFocus();
        QTest::qWait(50);
        form.ProcessCommandLine({tree.Path()});
        QCOMPARE(form.windowTitle(), QStringLiteral("Zumbrel - ") + QString::fromStdString(tree.Path()));
        QVERIFY(form.Tree()->isEnabled());
        QVERIFY(w.WaitForScans());
        QCOMPARE(form.RootNode()->GetSize(), 5000000);
        QCOMPARE(form.RootNode()->FileCount(), 2);
        QVERIFY(form.StatusText(1).endsWith(QString::fromStdString(" " + _("sec."))));
        QVERIFY(form.StatusText(1).contains(QLatin1Char('.')) || form.StatusText(1).contains(QLatin1Char(',')));
        QCOMPARE(form.ApplicationTitle(), QStringLiteral("Zumbrel"));
        QCOMPARE(form.MRUDirList().IndexOf(tree.Path()), form.MRUDirList().Count() - 1);
    }

    // A relative path (the command line, "zumbrel .") is made absolute before anything uses it.
    void relativePathsBecomeAbsolute()
    {
        TempTree tree;
        tree.MakeFile("name/x.bin", 10);
        tree.MakeFile("name/sub/y.bin", 10);
        const QString saved = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(tree.Path())));
        struct TRestore
        {
            QString Dir;
            ~TRestore() { QDir::setCurrent(Dir); }
        } restore {saved};
        struct
        {
            std::string Given;
            std::string Shown;
        } cases[] = {
            {"name", tree / "name"},
            {"name/", tree / "name"},
            {"./name/sub/..", tree / "name"},
            {".", tree.Path()},
        };
        for (const auto &c : cases) {
            TWindowFixture w;
            TFormMain &form = *w.Form;
            form.ProcessCommandLine({c.Given});
            QVERIFY(w.WaitForScans());
            QCOMPARE(form.windowTitle(), QStringLiteral("Zumbrel - ") + QString::fromStdString(c.Shown));
            QCOMPARE(std::string(form.RootNode()->Name()), c.Shown);
            QCOMPARE(form.MRUDirList().IndexOf(c.Shown), form.MRUDirList().Count() - 1);
            QVERIFY(!TFormMain::ProposedSaveFileName(form.RootNode()->GetDisplayName()).empty());
        }
    }

    // A title shows a path as it is, "[*]" included.
    void titleShowsThePathLiterally()
    {
        TempTree tree;
        tree.MakeFile("a[*]b/x.bin", 10);
        TWindowFixture w;
        w.Form->ProcessPath(tree / "a[*]b", false);
        QVERIFY(w.WaitForScans());
        QVERIFY(w.Form->windowHandle());
        QCOMPARE(w.Form->windowHandle()->title(), QString::fromStdString("Zumbrel - " + (tree / "a[*]b")));
    }

    // A row indented past the width of the name column (a very deep tree) draws nothing into the
    // columns beside it; nor does a name cell paint outside its rectangle.
    void deepRowsStayInsideTheNameColumn()
    {
        TempTree tree;
        tree.MakeFile("a/one.bin", 2000);
        tree.MakeFile("s1", 1);
        tree.MakeFile("s2", 1);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessCommandLine({tree.Path()});
        QVERIFY(w.WaitForScans());
        // The group of small files: its overlay icon comes with the program, whatever the theme.
        QModelIndex root;
        const QModelIndex top = RowOf(form, form.RootNode());
        for (int r = 0; r < form.Model()->rowCount(top); ++r) {
            const QModelIndex row = form.Model()->index(r, 0, top);
            const TFileSystemNode *node = form.Model()->Access(row).Node();
            if (node && node->FileType() == fstFileGroup)
                root = row;
        }
        QVERIFY(root.isValid());
        QAbstractItemDelegate *delegate = form.Tree()->itemDelegate();
        for (const QRect &cell : {QRect(QPoint(120, 0), QPoint(99, 19)), QRect(100, 0, 6, 20)}) {
            QImage image(200, 20, QImage::Format_ARGB32);
            image.fill(Qt::magenta);
            {
                QPainter painter(&image);
                QStyleOptionViewItem option;
                option.initFrom(form.Tree());
                option.rect = cell;
                option.widget = form.Tree();
                delegate->paint(&painter, option, root);
            }
            for (int x = 0; x < image.width(); ++x)
                for (int y = 0; y < image.height(); ++y)
                    if (!cell.contains(x, y))
                        QVERIFY2(image.pixelColor(x, y) == QColor(Qt::magenta),
                            qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        }
    }

    void commandLineIgnoresFilesAndMissingPaths()
    {
        TempTree tree;
        tree.MakeFile("file.txt", 1);
        TWindowFixture w;
        w.Form->ProcessCommandLine({tree / "file.txt"});
        w.Form->ProcessCommandLine({tree / "missing"});
        QVERIFY(w.Form->RootNode() == nullptr);
        QVERIFY(w.Form->ScanThreads().IsEmpty());
    }

    // Moving to a folder inside a finished analysis shows it as the top row without a scan;
    // a forced path or one being scanned starts a new analysis.
    void processPathMovesInsideAFinishedAnalysis()
    {
        TempTree tree;
        tree.MakeFile("sub/inner/x.bin", 4000000);
        tree.MakeFile("sub/y.bin", 4000000);
        tree.MakeFile("z.bin", 8000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        TRootNode *root = form.RootNode();
        TDirNode *sub = ChildDir(*root, "sub");
        QVERIFY(sub);
        form.ProcessPath(tree / "sub/", false);
        QCOMPARE(form.RootNode(), root);
        QVERIFY(form.ScanThreads().IsEmpty());
        QCOMPARE(form.PaintNode(), sub);
        const QModelIndex top = form.Model()->index(0, 0);
        QCOMPARE(form.Model()->NodeOf(top), sub);
        QCOMPARE(TFormMain::PercentText(double(sub->GetSize()) / double(form.PaintNode()->GetSize())),
            QStringLiteral("100%"));
        form.ProcessPath(tree.Path(), false);
        QCOMPARE(form.PaintNode(), root);
        // Repeat Analysis rescans the folder even when a sub-folder is on top.
        form.ProcessPath(tree / "sub", false);
        tree.MakeFile("new.bin", 1000000);
        form.ActRefreshExecute();
        QVERIFY(w.WaitForScans());
        QCOMPARE(std::string(form.RootNode()->Name()), tree.Path());
        QCOMPARE(form.PaintNode(), form.RootNode());
        QCOMPARE(form.RootNode()->GetSize(), 17000000);
    }

    // Focus, selection, expansion and scroll position survive rebuilds of the rows.
    void selectionAndExpansionSurviveRefresh()
    {
        TempTree tree;
        for (int i = 0; i < 60; ++i)
            tree.MakeFile("d" + std::to_string(i) + "/f.bin", 1000 * (i + 1));
        tree.MakeFile("d5/inner/deep.bin", 10);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.resize(600, 300);
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        TDirNode *d5 = ChildDir(*form.RootNode(), "d5");
        QTreeView *view = form.Tree();
        view->expand(RowOf(form, d5));
        QVERIFY(d5->IsExpanded());
        TFileSystemNode *inner = d5->FindChildNode("inner");
        const QModelIndex innerRow = RowOf(form, inner);
        QVERIFY(innerRow.isValid());
        view->selectionModel()->setCurrentIndex(
            innerRow, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
        const int scroll = view->verticalScrollBar()->value();
        QVERIFY(scroll > 0);
        form.RefreshTree();
        QCOMPARE(form.GetSelectedNode(), inner);
        QCOMPARE(form.Model()->NodeOf(view->currentIndex()), inner);
        QVERIFY(view->isExpanded(RowOf(form, d5)));
        QCOMPARE(view->verticalScrollBar()->value(), scroll);
        QVERIFY(form.StatusText(0).endsWith(QStringLiteral("/d5/inner")));
        QVERIFY(form.StatusText(1).endsWith(QStringLiteral(" Bytes")));
    }

    // A new folder chosen while threads run waits for them; of two such choices only the
    // last is analysed, and the title changes only when it starts.
    void pendingRequestStartsAfterTheLastThread()
    {
        TempTree first;
        TempTree second;
        first.MakeFile("one.bin", 10);
        second.MakeFile("two.bin", 20);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(BigFolder, false);
        QVERIFY(!form.ScanThreads().IsEmpty());
        form.ProcessPath(first.Path(), false);
        form.ProcessPath(second.Path(), false);
        if (!form.WaitForScanDir().empty())
            QCOMPARE(form.windowTitle(), QStringLiteral("Zumbrel - ") + QString::fromStdString(BigFolder));
        QVERIFY(w.WaitForScans());
        QCOMPARE(std::string(form.RootNode()->Name()), second.Path());
        QCOMPARE(form.windowTitle(), QStringLiteral("Zumbrel - ") + QString::fromStdString(second.Path()));
        QCOMPARE(form.RootNode()->GetSize(), 20);
    }

    // A rescan picks up changes on disk, the ancestors' totals follow, and rescanning a file's
    // row rescans its folder and selects the folder's row.
    void rescanSelectedDirectory()
    {
        TempTree tree;
        tree.MakeFile("sub/a.bin", 3000000);
        tree.MakeFile("other.bin", 1000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        TRootNode *root = form.RootNode();
        TDirNode *sub = ChildDir(*root, "sub");
        tree.MakeFile("sub/b.bin", 2000000);
        QTreeView *view = form.Tree();
        view->expand(RowOf(form, sub));
        const QModelIndex fileRow = RowOf(form, sub->FindChildNode("a.bin"));
        QVERIFY(fileRow.isValid());
        view->selectionModel()->setCurrentIndex(
            fileRow, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        form.ActRefreshNodeExecute();
        QCOMPARE(form.GetSelectedNode(), sub);
        QVERIFY(w.WaitForScans());
        QCOMPARE(form.RootNode(), root);
        QCOMPARE(sub->GetSize(), 5000000);
        QCOMPARE(root->GetSize(), 6000000);
        QCOMPARE(root->FileCount(), 3);
    }

    // Rescanning a folder while a thread still scans below it waits for that thread before
    // the folder's old nodes go: nothing the thread may still touch is freed early.
    void rescanAboveARunningRescanWaits()
    {
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(BigFolder, false);
        QVERIFY(w.WaitForScans(120000));
        TRootNode *root = form.RootNode();
        TDirNode *share = ChildDir(*root, "share");
        QVERIFY(share);
        form.ScanSubDirNode(share);
        // A thread just added may not have marked its folder yet.
        QTRY_VERIFY(share->Scanning() || form.ScanThreads().IsEmpty());
        form.ScanSubDirNode(root);
        QVERIFY(w.WaitForScans(120000));
        QCOMPARE(form.RootNode(), root);
        QVERIFY(root->GetSize() > 0);
        QVERIFY(!root->Scanning());
    }

    void stopAnalysisMarksCancelledFolders()
    {
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(BigFolder, false);
        form.ActStopScanExecute();
        QVERIFY(w.WaitForScans());
        QVERIFY(!form.RootNode()->Scanning());
        QVERIFY(!form.ScanTimersActive());
    }

    // Closing during a scan returns once every thread has left; no handler reaches the window.
    void closingDuringAScan()
    {
        auto w = std::make_unique<TWindowFixture>();
        w->Form->ProcessPath(BigFolder, false);
        QVERIFY(!w->Form->ScanThreads().IsEmpty());
        w->Form->close();
        QVERIFY(w->Form->ScanThreads().IsEmpty());
        std::ifstream in(w->Config / "Zumbrel.ini");
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        w->Form.reset();
        QTest::qWait(50); // a late handler would find the window gone
        QVERIFY(text.find("[Settings]") != std::string::npos);
        QVERIFY(text.find("SortColumnTreeView=") != std::string::npos);
        QVERIFY(text.find("ColWidthsTreeView=") != std::string::npos);
        QVERIFY(text.find("Position=") != std::string::npos);
    }

    // Column layout and sort come back at the next start; a hidden column keeps its width, and
    // the tree column is never hidden.
    void columnLayoutPersists()
    {
        TempTree config;
        const std::string file = config / "Zumbrel.ini";
        {
            TSettings settings(file);
            settings.SaveScreenStr("ColWidthsTreeView", "0,90,100,285,-105");
        }
        {
            TSettings settings(file);
            TFormMain form(settings);
            QHeaderView *header = form.Tree()->header();
            QVERIFY(!header->isSectionHidden(0));
            QVERIFY(header->sectionSize(0) > 0);
            QVERIFY(header->isSectionHidden(4));
        }
        {
            TSettings settings(file);
            const std::string widths = settings.ReadScreenSetting("ColWidthsTreeView", "");
            // The date column's stored width survives; a change column may follow it.
            const QStringList columns = QString::fromStdString(widths).split(QLatin1Char(','));
            QVERIFY2(columns.size() >= 5 && columns[4] == QStringLiteral("-105"), widths.c_str());
            QVERIFY2(widths.front() != '-' && widths.front() != '0', widths.c_str());
            settings.SaveScreenStr("ColWidthsTreeView", "196,90,100,285,105");
        }
        {
            TSettings settings(file);
            TFormMain form(settings);
            QHeaderView *header = form.Tree()->header();
            header->moveSection(header->visualIndex(3), 0);
            header->resizeSection(0, 230);
            form.Model()->sort(0, Qt::AscendingOrder);
            header->setSortIndicator(0, Qt::AscendingOrder);
        }
        TSettings settings(file);
        TFormMain form(settings);
        QHeaderView *header = form.Tree()->header();
        QCOMPARE(header->visualIndex(3), 0);
        QCOMPARE(header->sectionSize(0), 230);
        QCOMPARE(form.Model()->SortColumn(), 0);
        QCOMPARE(form.Model()->SortOrder(), Qt::AscendingOrder);
        QCOMPARE(
            QString::fromStdString(settings.ReadSettingStr("ColPositionsTreeView", "")), QStringLiteral("1,2,3,0,4,5"));
    }

    // Settings that cannot be written were reported at start; closing shows no more boxes.
    void readOnlySettingsCloseQuietly()
    {
        struct TCountingBoxes final : IMessageBoxes
        {
            int Count = 0;
            bool Show(TMessageKind, const std::string &, const std::string &) override
            {
                ++Count;
                return false;
            }
        } boxes;
        IMessageBoxes *previous = InstallMessageBoxes(&boxes);
        {
            TSettings settings(std::string(), TSettingsAccess::ReadOnly);
            TFormMain form(settings);
            form.show();
            form.close();
        }
        InstallMessageBoxes(previous);
        QCOMPARE(boxes.Count, 0);
    }

    // The save dialog opens in a folder that exists, and nothing is created before the user
    // confirms: without a documents folder that is the home folder.
    void saveFolderFallsBackToHome()
    {
        TempTree home;
        const QByteArray savedHome = qgetenv("HOME");
        const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QByteArray::fromStdString(home.Path()));
        qunsetenv("XDG_CONFIG_HOME");
        const QString cwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(home.Path())));
        std::string noDocuments;
        std::string documents;
        std::string own;
        {
            TWindowFixture w;
            noDocuments = w.Form->ProposedSaveFolder();
            home.MakeDir(".config");
            home.MakeDir("Docs");
            std::ofstream(home / ".config/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n";
            documents = w.Form->ProposedSaveFolder();
            home.MakeDir("Docs/Zumbrel");
            own = w.Form->ProposedSaveFolder();
        }
        QDir::setCurrent(cwd);
        qputenv("HOME", savedHome);
        if (!savedConfig.isNull())
            qputenv("XDG_CONFIG_HOME", savedConfig);
        QCOMPARE(noDocuments, home.Path() + "/");
        QVERIFY(!QFileInfo::exists(QString::fromStdString(home / "Zumbrel")));
        QCOMPARE(documents, home / "Docs/");
        QCOMPARE(own, home / "Docs/Zumbrel/");
    }

    // Exports from the window resolve system colours from the palette of the moment.
    void exportColoursFollowThePalette()
    {
        const QPalette saved = QGuiApplication::palette();
        {
            TWindowFixture w;
            QPalette palette = saved;
            palette.setColor(QPalette::Highlight, QColor(1, 2, 3));
            QApplication::setPalette(palette);
            QCOMPARE(ResolveExportColor(clHighlight), RGBColor(1, 2, 3));
            QCOMPARE(ColorToHtml(clHighlight), std::string("#010203"));
        }
        QApplication::setPalette(saved);
        // Without a window the classic colours stand.
        QCOMPARE(ResolveExportColor(clHighlight), RGBColor(0, 120, 215));
    }

    void saveFileNameRule_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("proposed");
        QTest::newRow("drive") << QStringLiteral("C:\\My Data") << QStringLiteral("C_My_Data");
        QTest::newRow("path") << QStringLiteral("/home/user/a b") << QStringLiteral("_home_user_a_b");
        QTest::newRow("runs") << QStringLiteral("a<>?*b") << QStringLiteral("a_b");
        QTest::newRow("trailing dot") << QStringLiteral(" name. ") << QStringLiteral("name");
        QTest::newRow("root") << QStringLiteral("/") << QStringLiteral("_");
    }
    void saveFileNameRule()
    {
        QFETCH(QString, display);
        QFETCH(QString, proposed);
        QCOMPARE(QString::fromStdString(TFormMain::ProposedSaveFileName(display.toStdString())), proposed);
    }

    // Every format of the registry writes a file of the finished analysis; a folder that
    // cannot be written fails loudly and leaves nothing behind.
    void saveWritesEveryFormat()
    {
        TempTree tree;
        tree.MakeFile("sub/a.bin", 1234);
        TempTree out;
        TWindowFixture w;
        TFormMain &form = *w.Form;
        QVERIFY(!form.CanSaveScanResult());
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        QVERIFY(form.CanSaveScanResult());
        for (int index = 1; index <= ExportRegistry().Count(); ++index) {
            const std::string file
                = out / ("result" + std::to_string(index) + ExportRegistry().GetExtension(index - 1));
            form.SaveScanResult(file, index);
            std::ifstream in(file);
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            QVERIFY2(text.find("sub") != std::string::npos, file.c_str());
        }
        bool failed = false;
        try {
            form.SaveScanResult(out / "missing-folder/result.csv", 1);
        } catch (const std::exception &) {
            failed = true;
        }
        QVERIFY(failed);
    }
};

QTEST_MAIN(FormMainTest)
#include "form_main_test.moc"
