// The "Largest Files" view of the main window on real scans.
#include <QHeaderView>

#include "UiTestSupport.h"
#include "ui/LargestFilesView.h"

class LargestFilesViewTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InitUiTests(); }

    void showsTheLargestFilesOfTheShownFolder()
    {
        TempTree tree;
        tree.MakeFile("a/big.iso", 9000000);
        tree.MakeFile("a/small1", 10); // inside a small-files group
        tree.MakeFile("a/small2", 20);
        tree.MakeFile("b/deep/er/medium.bin", 4000000);
        tree.MakeFile("top.txt", 2000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        QVERIFY(!form.ShowsLargestFiles());
        form.ProcessCommandLine({tree.Path()});
        QVERIFY(w.WaitForScans());
        form.ActLargestFiles->trigger();
        QVERIFY(form.ShowsLargestFiles());
        QVERIFY(form.LargestFilesView()->isVisible());
        QVERIFY(!form.Tree()->isVisible());
        TLargestFilesModel *model = form.LargestFilesView()->Model();
        QCOMPARE(model->rowCount(), 5);
        QCOMPARE(model->File(0).Path(), tree / "a/big.iso");
        QCOMPARE(model->File(1).Path(), tree / "b/deep/er/medium.bin");
        QCOMPARE(model->File(2).Path(), tree / "top.txt");
        QCOMPARE(model->File(4).Path(), tree / "a/small1");
        QCOMPARE(model->data(model->index(1, TLargestFilesModel::ColFolder), Qt::DisplayRole).toString(),
            QString::fromStdString(tree / "b/deep/er"));
        QCOMPARE(model->Ratio(0), 9000000.0 / 15000030.0);
        // Sorting by name puts the names in order.
        form.LargestFilesView()->header()->setSortIndicator(TLargestFilesModel::ColName, Qt::AscendingOrder);
        QCOMPARE(model->File(0).Name, std::string("big.iso"));
        QCOMPARE(model->File(4).Name, std::string("top.txt"));
        // Back to the tree, which is shown again.
        form.ActLargestFiles->trigger();
        QVERIFY(!form.ShowsLargestFiles());
        QVERIFY(form.Tree()->isVisible());
    }

    void fillsDuringAScan()
    {
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ShowLargestFiles(true);
        form.ProcessCommandLine({"/usr"});
        // The list fills while the scan runs, with every refresh of the tree.
        QVERIFY(QTest::qWaitFor([&] { return form.LargestFilesView()->Model()->rowCount() > 0; }, 20000));
        form.ActStopScan->trigger();
        QVERIFY(w.WaitForScans());
        form.ShowLargestFiles(false);
    }

    void layoutPersistsInItsOwnKeys()
    {
        TempTree config;
        const std::string file = config / "Zumbrel.ini";
        {
            TSettings settings(file);
            TFormMain form(settings);
            QHeaderView *header = form.LargestFilesView()->header();
            header->moveSection(header->visualIndex(TLargestFilesModel::ColDate), 0);
            header->resizeSection(TLargestFilesModel::ColFolder, 321);
            header->setSortIndicator(TLargestFilesModel::ColDate, Qt::AscendingOrder);
        }
        TSettings settings(file);
        QCOMPARE(
            QString::fromStdString(settings.ReadSettingStr("ColPositionsLargeFiles", "")), QStringLiteral("1,2,3,4,0"));
        QCOMPARE(settings.ReadSettingInt("SortColumnLargeFiles", -1), int(TLargestFilesModel::ColDate));
        QCOMPARE(settings.ReadSettingInt("SortDirectionLargeFiles", -1), 0);
        TFormMain form(settings);
        QHeaderView *header = form.LargestFilesView()->header();
        QCOMPARE(header->visualIndex(TLargestFilesModel::ColDate), 0);
        QCOMPARE(header->sectionSize(TLargestFilesModel::ColFolder), 321);
        QCOMPARE(form.LargestFilesView()->Model()->SortColumn(), int(TLargestFilesModel::ColDate));
        QCOMPARE(form.LargestFilesView()->Model()->SortOrder(), Qt::AscendingOrder);
        // The folder tree keeps its own keys.
        QCOMPARE(form.Model()->SortColumn() == TLargestFilesModel::ColDate
                && form.Model()->SortOrder() == Qt::AscendingOrder,
            false);
    }
};

QTEST_MAIN(LargestFilesViewTest)
#include "largest_files_view_test.moc"
