// The window showing analyses read from ncdu JSON files.
#include <fstream>

#include <unistd.h>

#include <QAction>
#include <QHeaderView>
#include <QTreeView>

#include "UiTestSupport.h"
#include "export/NcduJsonExport.h"
#include "common/MessageBoxes.h"
#include "scan/DirScanner.h"

namespace {

class TRecordingBoxes final : public IMessageBoxes
{
public:
    bool Show(TMessageKind, const std::string &, const std::string &text) override
    {
        Texts.push_back(text);
        return false;
    }
    std::vector<std::string> Texts;
};

void WriteFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string ExportOf(const std::string &root)
{
    return "[1,2,{\"progname\":\"ncdu\"},[{\"name\":\"" + root
        + "\"},{\"name\":\"big.bin\",\"asize\":3000000,\"mtime\":1700000000},"
          "[{\"name\":\"sub\"},{\"name\":\"a\",\"asize\":10},{\"name\":\"b\",\"asize\":20}]]]";
}

} // namespace

class AnalysisFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InitUiTests(); }

    void openedFileShowsLikeAFinishedAnalysisAndRepeatScansTheRealFolder()
    {
        TempTree files;
        TempTree real;
        real.MakeFile("only-here.bin", 1234);
        const std::string present = files / "present.json";
        WriteFile(present, ExportOf(real.Path()));
        TWindowFixture w;
        TFormMain &form = *w.Form;
        QVERIFY(form.StartPageShown());
        form.ProcessCommandLine({present});
        QVERIFY(form.ShowsImportedAnalysis());
        // The analysis is shown, not the start page behind it.
        QVERIFY(!form.StartPageShown());
        QVERIFY(form.Tree()->isVisible());
        QCOMPARE(form.ImportedFile(), present);
        QCOMPARE(std::string(form.RootNode()->Name()), real.Path());
        QCOMPARE(form.RootNode()->GetSize(), 3000030);
        QCOMPARE(form.RootNode()->FileCount(), 3);
        QCOMPARE(form.windowTitle(),
            QStringLiteral("Zumbrel - present.json (") + QString::fromStdString(real.Path()) + QStringLiteral(")"));
        QVERIFY(form.ScanThreads().IsEmpty());
        QVERIFY(form.Model()->rowCount() > 0);
        form.UpdateActions();
        QVERIFY(form.ActRefresh->isEnabled());
        QVERIFY(form.ActSaveScanResult->isEnabled());

        // The folder exists here: repeating the analysis scans it.
        form.ActRefresh->trigger();
        QVERIFY(w.WaitForScans());
        QVERIFY(!form.ShowsImportedAnalysis());
        QCOMPARE(form.RootNode()->GetSize(), 1234);
    }

    void aFolderOfAnotherMachineCannotBeRepeated()
    {
        TempTree files;
        const std::string elsewhere = files / "elsewhere.json";
        WriteFile(elsewhere, ExportOf("/no/such/folder/on/this/machine"));
        TWindowFixture w;
        QVERIFY(w.Form->OpenAnalysisFile(elsewhere));
        w.Form->UpdateActions();
        QVERIFY(w.Form->ShowsImportedAnalysis());
        QVERIFY(!w.Form->ImportedPathExists());
        QVERIFY(!w.Form->ActRefresh->isEnabled());
        QVERIFY(!w.Form->ActRefreshNode->isEnabled());
    }

    void aDamagedFileLeavesTheShownAnalysisAlone()
    {
        TempTree files;
        const std::string good = files / "good.json";
        const std::string cut = files / "cut.json";
        WriteFile(good, ExportOf("/somewhere"));
        const std::string text = ExportOf("/elsewhere");
        WriteFile(cut, text.substr(0, text.size() / 2));
        TRecordingBoxes boxes;
        IMessageBoxes *previous = InstallMessageBoxes(&boxes);
        TWindowFixture w;
        QVERIFY(w.Form->OpenAnalysisFile(good));
        TRootNode *shown = w.Form->RootNode();
        QVERIFY(!w.Form->OpenAnalysisFile(cut));
        InstallMessageBoxes(previous);
        QCOMPARE(w.Form->RootNode(), shown);
        QCOMPARE(std::string(shown->Name()), std::string("/somewhere"));
        QCOMPARE(boxes.Texts.size(), std::size_t {1});
        QVERIFY(boxes.Texts[0].find("cut.json") != std::string::npos);
        QVERIFY(boxes.Texts[0].find("at byte " + std::to_string(text.size() / 2)) != std::string::npos);
    }

    void comparisonShowsTheChangeColumnUntilANewAnalysis()
    {
        TempTree tree;
        tree.MakeFile("grows/f", 1000);
        tree.MakeFile("shrinks/g", 5000);
        tree.MakeFile("gone/h", 300);
        TempTree files;
        const std::string saved = files / "before.json";
        {
            auto root = std::make_unique<TRootDirNode>();
            root->SetGroupFileSize(0);
            TDirScanner scanner(root.get());
            scanner.StartScan(tree.Path(), {0, 0});
            TNcduJsonExport(root.get()).SaveToFile(saved);
        }
        tree.MakeFile("grows/f", 4000);
        tree.MakeFile("shrinks/g", 1000);
        ::unlink((tree / "gone/h").c_str());
        ::rmdir((tree / "gone").c_str());
        tree.MakeFile("new/n", 700);

        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessCommandLine({tree.Path()});
        QVERIFY(w.WaitForScans());
        QHeaderView *header = form.Tree()->header();
        QVERIFY(header->isSectionHidden(5));
        form.UpdateActions();
        QVERIFY(form.ActCompare->isEnabled());
        QVERIFY(form.CompareWithFile(saved));
        QVERIFY(form.IsComparing());
        QVERIFY(!header->isSectionHidden(5));
        QCOMPARE(header->visualIndex(5), header->visualIndex(1) + 1);
        const TTreeComparison &cmp = *form.Comparison();
        auto *root = static_cast<TGroupNode *>(form.RootNode());
        QCOMPARE(cmp.Change(root, root->GetSize()), std::int64_t {5700 - 6300});
        const TFileSystemNode *grows = root->FindChildNode("grows");
        QCOMPARE(cmp.Change(grows, grows->GetSize()), std::int64_t {3000});
        QVERIFY(!cmp.HasCounterpart(root->FindChildNode("new")));
        QCOMPARE(cmp.Growth(), std::int64_t {3700});
        QCOMPARE(cmp.Shrinkage(), std::int64_t {4300});
        QCOMPARE(form.GetText(grows, 5, TTextType::Normal).left(1), QStringLiteral("+"));
        // Sortable: the largest growth first when descending.
        form.Model()->sort(5, Qt::DescendingOrder);
        QVERIFY(form.CompareNodes(grows, root->FindChildNode("shrinks"), 5) > 0);
        // A new analysis ends the comparison.
        form.ProcessPath(tree.Path(), true);
        QVERIFY(w.WaitForScans());
        QVERIFY(!form.IsComparing());
        QVERIFY(header->isSectionHidden(5));
    }
};

QTEST_MAIN(AnalysisFilesTest)
#include "analysis_files_test.moc"
