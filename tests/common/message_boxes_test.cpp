#include <stdexcept>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/MessageBoxes.h"

namespace {

using ::testing::HasSubstr;

struct TShown
{
    TMessageKind Kind;
    std::string Title;
    std::string Text;
};

class TRecordingBoxes final : public IMessageBoxes
{
public:
    bool Show(TMessageKind kind, const std::string &title, const std::string &text) override
    {
        Shown.push_back({kind, title, text});
        return Answer;
    }
    std::vector<TShown> Shown;
    bool Answer = false;
};

TEST(MessageBoxes, HeadlessBoxesPrintAndAnswerNo)
{
    ASSERT_EQ(InstallMessageBoxes(nullptr), nullptr);
    ::testing::internal::CaptureStderr();
    ErrorBox("disk on fire");
    const bool confirmed = ConfirmBox("Delete 3 files?");
    const bool warned = WarningBox("Really?\nSure?");
    ExceptionBox(std::runtime_error("boom"));
    const std::string out = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(confirmed);
    EXPECT_FALSE(warned);
    EXPECT_EQ(out, "Error: disk on fire\nConfirmation: Delete 3 files?\nWarning: Really?\nSure?\nError: boom\n");
}

TEST(MessageBoxes, InstalledBoxesGetKindTitleAndAnswer)
{
    TRecordingBoxes boxes;
    ASSERT_EQ(InstallMessageBoxes(&boxes), nullptr);
    boxes.Answer = true;
    EXPECT_TRUE(ConfirmBox("c"));
    EXPECT_TRUE(WarningBox("w"));
    boxes.Answer = false;
    EXPECT_FALSE(ConfirmBox("c2"));
    ExceptionBox(std::invalid_argument("bad"));
    InfoBox("later");
    EXPECT_EQ(InstallMessageBoxes(nullptr), &boxes);

    ASSERT_EQ(boxes.Shown.size(), 5u);
    EXPECT_EQ(boxes.Shown[4].Kind, TMessageKind::Information);
    EXPECT_EQ(boxes.Shown[4].Title, "Information");
    EXPECT_EQ(boxes.Shown[0].Kind, TMessageKind::Confirmation);
    EXPECT_EQ(boxes.Shown[0].Title, "Confirmation");
    EXPECT_EQ(boxes.Shown[1].Kind, TMessageKind::Warning);
    EXPECT_EQ(boxes.Shown[1].Title, "Warning");
    EXPECT_EQ(boxes.Shown[3].Kind, TMessageKind::Error);
    EXPECT_EQ(boxes.Shown[3].Title, "Error");
    EXPECT_EQ(boxes.Shown[3].Text, "bad");
}

} // namespace
