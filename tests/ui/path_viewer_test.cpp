// The path bar on its own: splitting, hidden levels, hit testing, clicks, the drop-down
// request, edit mode and what screen readers see.
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "common/Translate.h"
#include "ui/pathbar/PathViewer.h"

namespace {

const TPathElement *Find(const std::vector<TPathElement> &layout, TPathElement::TKind kind, int index)
{
    for (const TPathElement &e : layout)
        if (e.Kind == kind && e.Index == index)
            return &e;
    return nullptr;
}

void Press(TqvPathViewer &bar, int x, int y = 12)
{
    QTest::mousePress(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
}

void Release(TqvPathViewer &bar, int x, int y = 12)
{
    QTest::mouseRelease(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
}

// The hot state after the pointer rests at x; the hit test runs with every paint.
TpvItemState HoverState(TqvPathViewer &bar, int x)
{
    QTest::mouseMove(&bar, QPoint(x, 12));
    bar.repaint();
    return bar.State();
}

} // namespace

class PathViewerTest : public QObject
{
    Q_OBJECT

private slots:
    void splitting_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("parts");
        QTest::addColumn<QString>("part11");
        QTest::addColumn<QString>("part12");
        const auto row = [](const char *name, const char *path, std::initializer_list<const char *> parts,
                             const char *part11, const char *part12) {
            QStringList list;
            for (const char *p : parts)
                list << QString::fromUtf8(p);
            QTest::newRow(name) << QString::fromUtf8(path) << list << QString::fromUtf8(part11)
                                << QString::fromUtf8(part12);
        };
        row("home only", "Home", {"Home"}, "", "");
        row("trailing delimiter", "Home/", {"Home"}, "", "");
        row("root", "Home//", {"Home", ""}, "/", "/");
        row("root folder", "Home//usr", {"Home", "", "usr"}, "/", "/usr/");
        row("trailing delimiter of a folder", "Home//usr/share/", {"Home", "", "usr", "share"}, "/", "/usr/");
        row("doubled delimiter inside", "Home//usr//share", {"Home", "", "usr", "share"}, "/", "/usr/");
        // Names keep their blanks; a folder "a b " is not "a b".
        row("blanks kept", "Home// x/a b ", {"Home", "", " x", "a b "}, "/", "/ x/");
    }
    void splitting()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, parts);
        TqvPathViewer bar;
        QSignalSpy changed(&bar, &TqvPathViewer::PathChanged);
        bar.SetPath(path);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(bar.Path(), path);
        QCOMPARE(bar.PathParts(), parts);
        QTEST(bar.GetPathPart(1, 1), "part11");
        QTEST(bar.GetPathPart(1, 2), "part12");
        QCOMPARE(bar.GetPathPart(2, 1), QString());
        if (parts.size() > 1)
            QCOMPARE(bar.SegmentText(1), parts[1].isEmpty() ? QStringLiteral("/") : parts[1]);
    }

    void wideBarShowsEverySegment()
    {
        TqvPathViewer bar;
        bar.resize(800, 25);
        bar.SetHasSubItems(true);
        bar.SetPath(QStringLiteral("Home//usr/share"));
        QCOMPARE(bar.PathOffset(), 0);
        QCOMPARE(bar.ArrowStyle(), pvaNone);
        const auto layout = bar.Layout();
        // Four segments, each with its arrow; the row starts after the 22 pixels of the icon.
        QCOMPARE(layout.size(), std::size_t(8));
        QCOMPARE(layout.front().Left, TqvPathViewer::LeadWidth);
        const QFontMetrics fm(bar.font());
        QCOMPARE(layout[0].Right - layout[0].Left, fm.horizontalAdvance(QStringLiteral("Home")) + 9);
        QCOMPARE(layout[1].Kind, TPathElement::Arrow);
        QCOMPARE(layout[1].Right - layout[1].Left, TqvPathViewer::ArrowWidth);
        // Without sub items the last arrow is neither drawn nor hit.
        bar.SetHasSubItems(false);
        QCOMPARE(bar.Layout().back().Kind, TPathElement::Segment);
    }

    void longPathHidesLeadingSegmentsBehindBackArrow()
    {
        TqvPathViewer bar;
        bar.SetHasSubItems(true);
        bar.resize(300, 25);
        QString path = QStringLiteral("Home/");
        for (int i = 0; i < 30; ++i)
            path += QStringLiteral("/level%1").arg(i);
        bar.SetPath(path);
        const int count = static_cast<int>(bar.PathParts().size());
        QCOMPARE(count, 32);
        QVERIFY(bar.PathOffset() > 0);
        QVERIFY(bar.PathOffset() < count);
        QCOMPARE(bar.ArrowStyle(), pvaBack);
        const auto layout = bar.Layout();
        QCOMPARE(layout.front().Kind, TPathElement::BackArrow);
        QCOMPARE(layout.front().Index, bar.PathOffset() - 1);
        QCOMPARE(layout[1].Index, bar.PathOffset());
        // The last segment stays and what is shown fits.
        QCOMPARE(layout.back().Index, count - 1);
        QVERIFY(layout.back().Right <= bar.width());

        // The back arrow asks for a drop-down of "*" at index -1.
        bar.show();
        QSignalSpy popup(&bar, &TqvPathViewer::CustomPopup);
        Press(bar, layout.front().Left + 5);
        QCOMPARE(popup.count(), 1);
        QCOMPARE(popup[0][0].toString(), QStringLiteral("*"));
        QCOMPARE(popup[0][1].toInt(), bar.PathOffset());
        QCOMPARE(popup[0][2].toInt(), -1);
        Release(bar, layout.front().Left + 5);
        QVERIFY(!bar.InEdit());

        // So narrow that even the last segment does not fit: only the back arrow is left.
        bar.resize(60, 25);
        QCOMPARE(bar.PathOffset(), count);
        QCOMPARE(bar.Layout().size(), std::size_t(1));
        QCOMPARE(bar.Layout().front().Kind, TPathElement::BackArrow);
        // Wide again: everything comes back.
        bar.resize(5000, 25);
        QCOMPARE(bar.PathOffset(), 0);
    }

    void hitTestAtBorders()
    {
        TqvPathViewer bar;
        bar.resize(800, 25);
        bar.SetHasSubItems(true);
        bar.SetPath(QStringLiteral("Home//usr/share"));
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        const auto layout = bar.Layout();
        const TPathElement *usr = Find(layout, TPathElement::Segment, 2);
        const TPathElement *usrArrow = Find(layout, TPathElement::Arrow, 2);
        const TPathElement *rootArrow = Find(layout, TPathElement::Arrow, 1);
        QVERIFY(usr && usrArrow && rootArrow);
        QCOMPARE(usr->Right, usrArrow->Left);
        QCOMPARE(rootArrow->Right, usr->Left);
        // Both ends belong to an element; on a shared border the later element wins.
        QCOMPARE(HoverState(bar, usr->Left), isButtonHot);
        QCOMPARE(bar.HotPos(), 2);
        QCOMPARE(HoverState(bar, usr->Left + 1), isButtonHot);
        QCOMPARE(HoverState(bar, usr->Right - 1), isButtonHot);
        QCOMPARE(HoverState(bar, usr->Right), isArrowHot);
        QCOMPARE(bar.HotPos(), 2);
        QCOMPARE(HoverState(bar, usr->Left - 1), isArrowHot);
        QCOMPARE(bar.HotPos(), 1);
        // The icon area and the space after the last arrow hit nothing.
        QCOMPARE(HoverState(bar, 10), isNormal);
        QCOMPARE(HoverState(bar, layout.back().Right + 1), isNormal);
        QCOMPARE(bar.HotPos(), -2);
    }

    void hotAndPressedLooks()
    {
        TqvPathViewer bar;
        bar.resize(600, 25);
        bar.SetHasSubItems(true);
        bar.SetPath(QStringLiteral("Home//usr"));
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        const auto layout = bar.Layout();
        const TPathElement *seg = Find(layout, TPathElement::Segment, 2);
        const TPathElement *arrow = Find(layout, TPathElement::Arrow, 2);
        const auto pixel = [&](int x) { return bar.grab().toImage().pixelColor(x, 5); };
        const int segX = seg->Left + 3; // inside the gradient, clear of text at the top rows
        const int arrowX = arrow->Left + 3;
        const QColor plain = pixel(segX);
        // Hovering the arrow: the segment turns grey, the arrow takes the blue gradient.
        HoverState(bar, arrowX);
        QColor s = pixel(segX);
        QColor a = pixel(arrowX);
        QVERIFY2(s != plain && s.red() == s.green() && s.green() == s.blue(), qPrintable(s.name()));
        QVERIFY2(a.blue() > a.red(), qPrintable(a.name()));
        // Hovering the segment: both in the hot gradient.
        HoverState(bar, segX);
        s = pixel(segX);
        a = pixel(arrowX);
        QVERIFY2(s.blue() > s.red() && a.blue() > a.red(), qPrintable(s.name() + a.name()));
        // Leaving restores the flat look.
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&bar, &leave);
        bar.repaint();
        QCOMPARE(pixel(segX), plain);
    }

    void clickFiresOnlyWhenReleasedOnTheSameSegment()
    {
        TqvPathViewer bar;
        bar.resize(800, 25);
        bar.SetHasSubItems(true);
        bar.SetPath(QStringLiteral("Home//usr/share"));
        bar.show();
        const auto layout = bar.Layout();
        const TPathElement *usr = Find(layout, TPathElement::Segment, 2);
        const TPathElement *share = Find(layout, TPathElement::Segment, 3);
        QSignalSpy clicks(&bar, &TqvPathViewer::PathClick);

        Press(bar, usr->Left + 4);
        Release(bar, usr->Left + 4);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks[0][0].toInt(), 2);

        Press(bar, usr->Left + 4);
        QCOMPARE(bar.State(), isButtonPressed);
        Release(bar, share->Left + 4); // dragged to another segment
        QCOMPARE(clicks.count(), 1);

        Press(bar, usr->Left + 4);
        Release(bar, usr->Left + 4, 40); // dragged below the bar
        QCOMPARE(clicks.count(), 1);
        QVERIFY(!bar.InEdit());
    }

    void arrowAsksForTheLevelsDropDown()
    {
        TqvPathViewer bar;
        bar.resize(800, 25);
        bar.SetHasSubItems(true);
        bar.SetPath(QStringLiteral("Home//usr/share"));
        bar.show();
        QSignalSpy popup(&bar, &TqvPathViewer::CustomPopup);
        QSignalSpy clicks(&bar, &TqvPathViewer::PathClick);
        const auto layout = bar.Layout();
        const TPathElement *homeArrow = Find(layout, TPathElement::Arrow, 0);
        const TPathElement *usrArrow = Find(layout, TPathElement::Arrow, 2);
        Press(bar, usrArrow->Left + 5);
        Release(bar, usrArrow->Left + 5);
        Press(bar, homeArrow->Left + 5);
        Release(bar, homeArrow->Left + 5);
        QCOMPARE(clicks.count(), 0);
        QCOMPARE(popup.count(), 2);
        QCOMPARE(popup[0][0].toString(), QStringLiteral("Home//usr/"));
        QCOMPARE(popup[0][2].toInt(), 2);
        QCOMPARE(popup[0][3].toPoint(), bar.mapToGlobal(QPoint(usrArrow->Right - 35, bar.height() - 1)));
        QCOMPARE(popup[1][0].toString(), QStringLiteral("Home/"));
        QCOMPARE(popup[1][2].toInt(), 0);
        // After the drop-down the bar forgets the press.
        QCoreApplication::processEvents();
        QCOMPARE(bar.PathIdx(), -1);
        QVERIFY(bar.PopupPath().isEmpty());
    }

    void editModeEnteredAndLeft()
    {
        QWidget host;
        host.resize(600, 80);
        auto *other = new QLineEdit(&host);
        other->move(0, 40);
        auto *bar = new TqvPathViewer(&host);
        bar->resize(600, 25);
        bar->SetHasSubItems(true);
        bar->SetPath(QStringLiteral("Home//usr"));
        bar->OnPathEdit = [](QLineEdit *, QString &text) { text = QStringLiteral("/var/last scan"); };
        host.show();
        QApplication::setActiveWindow(&host);
        QVERIFY(QTest::qWaitForWindowActive(&host));
        QSignalSpy edited(bar, &TqvPathViewer::EditedPath);
        const int empty = bar->Layout().back().Right + 20;

        // Escape: the breadcrumb comes back unchanged; the field goes after the key handling.
        Press(*bar, empty);
        Release(*bar, empty);
        QVERIFY(bar->InEdit());
        QPointer<QLineEdit> field = bar->EditField();
        QVERIFY(field);
        QCOMPARE(field->text(), QStringLiteral("/var/last scan"));
        QVERIFY(field->hasFocus());
        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(!bar->InEdit());
        QVERIFY(field); // not destroyed inside its own key handler
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!field);
        QCOMPARE(bar->Path(), QStringLiteral("Home//usr"));
        QCOMPARE(edited.count(), 0);

        // Enter: the typed text is reported once, even when the receiver takes the focus away
        // (as navigating does) while the key is still being handled.
        connect(bar, &TqvPathViewer::EditedPath, other, [other] { other->setFocus(); });
        Press(*bar, empty);
        Release(*bar, empty);
        field = bar->EditField();
        QVERIFY(field);
        field->setText(QStringLiteral("/tmp"));
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(edited.count(), 1);
        QCOMPARE(edited[0][0].toString(), QStringLiteral("/tmp"));
        QVERIFY(!bar->InEdit());
        QVERIFY(other->hasFocus()); // leaving edit mode does not steal the focus back
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!field);

        // Focus loss leaves edit mode without a report.
        Press(*bar, empty);
        Release(*bar, empty);
        QVERIFY(bar->InEdit());
        other->setFocus();
        QVERIFY(!bar->InEdit());
        QCOMPARE(edited.count(), 1);
        // A press in edit mode is no new edit and no click.
        bar->DoEdit();
        field = bar->EditField();
        Press(*bar, 30);
        Release(*bar, 30);
        QCOMPARE(bar->EditField(), field.data());
        bar->ExitEditMode();
        bar->ExitEditMode(); // a second time is nothing
        QVERIFY(!bar->InEdit());
    }

    void destroyedWhileEditing()
    {
        auto *bar = new TqvPathViewer;
        bar->SetPath(QStringLiteral("Home//usr"));
        bar->show();
        bar->DoEdit();
        QVERIFY(bar->InEdit());
        delete bar; // the field goes with it
    }

    void accessibleSegmentsAndArrows()
    {
        QAccessible::setActive(true);
        TqvPathViewer bar;
        bar.resize(800, 25);
        bar.SetHasSubItems(true);
        bar.SetPath(QStringLiteral("Home//usr"));
        bar.show();
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&bar);
        QVERIFY(iface);
        QCOMPARE(iface->childCount(), 6);
        QAccessibleInterface *usr = iface->child(4);
        QCOMPARE(usr->role(), QAccessible::Button);
        QCOMPARE(usr->text(QAccessible::Name), QStringLiteral("usr"));
        QCOMPARE(iface->indexOfChild(usr), 4);
        QAccessibleInterface *rootArrow = iface->child(3);
        QCOMPARE(rootArrow->text(QAccessible::Name),
            QString::fromStdString(_("Sub-folders of %s")).replace(QStringLiteral("%s"), QStringLiteral("/")));
        QSignalSpy clicks(&bar, &TqvPathViewer::PathClick);
        QSignalSpy popup(&bar, &TqvPathViewer::CustomPopup);
        usr->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        rootArrow->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(QTest::qWaitFor([&] { return clicks.count() == 1 && popup.count() == 1; }));
        QCOMPARE(clicks[0][0].toInt(), 2);
        QCOMPARE(popup[0][0].toString(), QStringLiteral("Home//"));
        // A new path renames the same children; edit mode shows the editable field.
        bar.SetPath(QStringLiteral("Home//var"));
        QCOMPARE(usr->text(QAccessible::Name), QStringLiteral("var"));
        bar.DoEdit();
        QCOMPARE(iface->childCount(), 1);
        QCOMPARE(iface->child(0)->role(), QAccessible::EditableText);
        bar.ExitEditMode();
        QAccessible::setActive(false);
    }
};

QTEST_MAIN(PathViewerTest)
#include "path_viewer_test.moc"
