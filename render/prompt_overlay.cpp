// The red warning over the training screen while the pulse sensor is not ready.
#include "render/prompt_overlay.hpp"

#include <GL/gl.h>

#include <string_view>

#include "platform/cp1251.hpp"
#include "render/text.hpp"

namespace {

struct WarningLine {
    double x, y;
    std::string_view text;
};

// In front of everything the training screen draws (its nearest depth is -0.06).
constexpr double kDepth = -0.2;

constexpr WarningLine kLines[] = {
    {-0.6, 0.3, "Поправьте датчики!!!"_cp1251v},
    {-0.5, 0.0, "Нажмите Enter"_cp1251v},
    {-0.95, -0.3, "Дождитесь готовности датчиков"_cp1251v},
};
static_assert(kLines[0].text.size() == 20 && kLines[1].text.size() == 13 &&
              kLines[2].text.size() == 29);

} // namespace

void drawPromptOverlay() {
    glDisable(GL_TEXTURE_2D);
    // Bitmap text takes the colour in force when its raster position is set.
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    for (const WarningLine& line : kLines)
        drawBitmapText(line.x, line.y, kDepth, line.text.size(), line.text.data());
    glEnable(GL_TEXTURE_2D);
}
