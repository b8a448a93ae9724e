#include <QtTest>

#include "paint/RegisterPainters.h"
#include "paint/Skins.h"
#include "paint/ZuBarChartPainterRegistry.h"
#include "paint/ZumbrelBarChartPainter.h"

namespace {

// A painter whose display name collides with the Crystal skin's.
class TFakeCrystal : public TZumbrelBarChartPainter
{
public:
    static constexpr std::string_view ClassName = "TFakeCrystal";
    static std::string PainterName() { return "Crystal"; }
};

struct TLower : TZumbrelBarChartPainter
{
    static constexpr std::string_view ClassName = "TLower";
    static std::string PainterName() { return "apple"; }
};

struct TUpper : TZumbrelBarChartPainter
{
    static constexpr std::string_view ClassName = "TUpper";
    static std::string PainterName() { return "Banana"; }
};

} // namespace

class TRegistryTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        RegisterBarChartPainters();
        RegisterBarChartPainters(); // a second call changes nothing
    }

    void namesInRegistrationAndSortedOrder()
    {
        const auto &registry = TZuBarChartPainterRegistry::GetInstance();
        QCOMPARE(registry.Count(), 10);
        std::vector<std::string> names {"left over"};
        registry.GetStrings(names, false);
        const std::vector<std::string> unsorted {"Zumbrel", "Cairo Helix", "Crystal", "Blue Plastic", "Chrome Red",
            "Green Glass", "Black Ice", "True Blue", "Bronze Age", "Spectrum"};
        QCOMPARE(names, unsorted);
        registry.GetStrings(names, true);
        const std::vector<std::string> sorted {"Black Ice", "Blue Plastic", "Bronze Age", "Cairo Helix", "Chrome Red",
            "Crystal", "Green Glass", "Spectrum", "True Blue", "Zumbrel"};
        QCOMPARE(names, sorted);
    }

    void sortingIgnoresCase()
    {
        TZuBarChartPainterRegistry registry;
        registry.AddToRegistry(PainterClassOf<TUpper>());
        registry.AddToRegistry(PainterClassOf<TLower>());
        std::vector<std::string> names;
        registry.GetStrings(names, true);
        QCOMPARE(names, (std::vector<std::string> {"apple", "Banana"}));
    }

    void lookups()
    {
        const auto &registry = TZuBarChartPainterRegistry::GetInstance();
        QCOMPARE(registry.FindClassByClassName("tskincrystal"), PainterClassOf<TSkinCrystal>());
        QCOMPARE(registry.FindClassByClassName("TSKINBRONCEAGE"), PainterClassOf<TSkinBronceAge>());
        QCOMPARE(registry.FindClassByClassName("TDefaultBarChartPainter"), TZuBarChartPainterClass(nullptr));
        QCOMPARE(registry.FindClassByClassName(""), TZuBarChartPainterClass(nullptr));
        QCOMPARE(registry.FindClassByName("Crystal"), PainterClassOf<TSkinCrystal>());
        QCOMPARE(registry.FindClassByName("crystal"), TZuBarChartPainterClass(nullptr));
        QCOMPARE(registry.IndexOf("Zumbrel"), 0);
        QCOMPARE(registry.IndexOf("Spectrum"), 9);
        QCOMPARE(registry.IndexOf("Bronze"), -1);
        QCOMPARE(registry.GetItem(2), PainterClassOf<TSkinCrystal>());
        QCOMPARE(registry.Items(9), PainterClassOf<TSkinSpectrum>());
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, (void)registry.GetItem(10));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, (void)registry.GetItem(-1));
    }

    void everyRegisteredClassCreatesItsPainter()
    {
        const auto &registry = TZuBarChartPainterRegistry::GetInstance();
        for (int i = 0; i < registry.Count(); ++i) {
            const auto painter = registry.GetItem(i)->Create();
            QVERIFY(painter);
        }
        const auto spectrum = registry.FindClassByName("Spectrum")->Create();
        QVERIFY(dynamic_cast<TSkinSpectrum *>(spectrum.get()));
    }

    void defaultPainterLooksLikeCairoHelixUnderItsOwnClassName()
    {
        const TZuBarChartPainterClass cls = PainterClassOf<TDefaultBarChartPainter>();
        QCOMPARE(cls->PainterName(), std::string("Cairo Helix"));
        QCOMPARE(cls->ClassName, std::string_view("TDefaultBarChartPainter"));
        QVERIFY(cls != PainterClassOf<TSkinCairoHelix>());
        const auto painter = cls->Create();
        QVERIFY(dynamic_cast<TSkinCairoHelix *>(painter.get()));
    }

    void aDuplicateDisplayNameIsRefused()
    {
        TZuBarChartPainterRegistry registry;
        registry.AddToRegistry(PainterClassOf<TSkinCrystal>());
        try {
            registry.AddToRegistry(PainterClassOf<TFakeCrystal>());
            QFAIL("no error");
        } catch (const EAssertionFailed &e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Crystal ist bereits registriert!"));
        }
        QCOMPARE(registry.Count(), 1);
    }
};

QTEST_MAIN(TRegistryTest)
#include "registry_test.moc"
