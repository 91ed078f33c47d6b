// The platform layer: texts, ticks, message boxes, the offscreen context.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "platform/cp1251.hpp"
#include "platform/message_box.hpp"
#include "platform/ticks.hpp"
#include "support/test_support.hpp"

TEST(Cp1251, TextsBecomeSingleBytes) {
    EXPECT_EQ("Старт"_cp1251v, std::string_view("\xD1\xF2\xE0\xF0\xF2"));
    EXPECT_EQ("я"_cp1251v, std::string_view("\xFF"));
    EXPECT_EQ("Ёё"_cp1251v, std::string_view("\xA8\xB8"));
    // A Latin O before Cyrillic letters stays Latin.
    EXPECT_EQ("Oт"_cp1251v, std::string_view("O\xF2"));
    EXPECT_EQ(cp1251ToUtf8("Готов"_cp1251v), "Готов");
}

TEST(Ticks, OverrideDrivesTheClockIncludingTheWrap) {
    setTickOverride(0xFFFFFFF0u);
    EXPECT_EQ(tickMs(), 0xFFFFFFF0u);
    setTickOverride(0x10u);
    EXPECT_EQ(static_cast<std::uint32_t>(tickMs() - 0xFFFFFFF0u), 0x20u);
    clearTickOverride();
}

TEST(MessageBoxes, CapturedWithTheirBytes) {
    CapturedMessageBoxes captured;
    showMessageBox("File not found !!!", "Error");
    ASSERT_EQ(captured.boxes().size(), 1u);
    EXPECT_EQ(captured.boxes()[0].first, "File not found !!!");
    EXPECT_EQ(captured.boxes()[0].second, "Error");
}

TEST(OffscreenContext, DrawsAndReadsBack) {
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const Rgba p = readPixel(10, 10);
    EXPECT_EQ(p.b, 255);
    EXPECT_EQ(p.r, 0);
}
