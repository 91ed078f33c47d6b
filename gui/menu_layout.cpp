// The fixed menu: the tables of entries, panels, rows and small buttons, and the build order.
#include "gui/menu_layout.hpp"

#include <GL/gl.h>

#include <array>
#include <cstddef>
#include <string>

#include "app/settings.hpp"
#include "gui/gui.hpp"
#include "gui/pointer_input.hpp"
#include "platform/cp1251.hpp"
#include "platform/message_box.hpp"
#include "render/text.hpp"
#include "training/menu_actions.hpp"
#include "training/row_actions.hpp"
#include "training/sound_cues.hpp"

namespace {

struct MenuItemRow {
    const char* caption;
    float x, y, halfWidth, halfHeight;
    std::uint8_t visible;
    WidgetCallback onClick;
};

struct PanelRow {
    std::int32_t index;
    const char* title;
    const char* status;
    float x, y, halfWidth, halfHeight;
    std::uint8_t visible;
};

struct ListButtonRow {
    std::int32_t group;
    const char* caption;
    float x, y, halfWidth, halfHeight;
    std::uint8_t visible;
    WidgetCallback onClick;
};

struct SmallButtonRow {
    const char* caption;
    float x, y, halfWidth, halfHeight;
    std::uint8_t visible;
    WidgetCallback onClick;
};

// The menu actions address everything below by its position, so the order is fixed.
constexpr std::array<MenuItemRow, 7> kMenuItems{{
    {"Старт"_cp1251, -0.65f, 0.8f, 0.27f, 0.09f, 1, startClicked},
    {"Цель"_cp1251, -0.66f, 0.6f, 0.269f, 0.09f, 1, goalMenuClicked},
    {"Режим"_cp1251, -0.67f, 0.4f, 0.268f, 0.09f, 1, modeMenuClicked},
    {"Формула"_cp1251, -0.68f, 0.2f, 0.267f, 0.09f, 1, formulaMenuClicked},
    {"Внешний вид"_cp1251, -0.67f, 0.0f, 0.268f, 0.09f, 1, appearanceMenuClicked},
    {"Опции"_cp1251, -0.66f, -0.2f, 0.269f, 0.09f, 1, optionsMenuClicked},
    {"Выход"_cp1251, -0.65f, -0.4f, 0.27f, 0.09f, 1, exitClicked},
}};

// Position in `panels` and panel index differ: the sensor panels carry indices 1 and 2.
constexpr std::array<PanelRow, 12> kPanels{{
    {0, "", "", 0.3f, 0.5f, 0.3f, 0.4f, 0},
    {3, "Громкость"_cp1251, "", 0.3f, 0.7f, 0.35f, 0.12f, 0},
    {4, "График"_cp1251, "", 0.3f, 0.0f, 0.6f, 0.4f, 0},
    {5, "   Выберите цель тренировки"_cp1251, "", 0.3f, 0.2f, 0.6f, 0.7f, 1},
    {6, "Уровень сложности"_cp1251, "", 0.2f, 0.4f, 0.45f, 0.4f, 0},
    {7, "Время(циклы)"_cp1251, "", 0.2f, -0.3f, 0.35f, 0.12f, 0},
    {1, "Датчик дыхания"_cp1251, "Отключен"_cp1251, -0.5f, -0.7f, 0.4f, 0.15f, 1},
    {2, "Датчик пульса"_cp1251, "Отключен"_cp1251, 0.5f, -0.7f, 0.4f, 0.15f, 1},
    {8, "Вдох"_cp1251, "", 0.3f, 0.7f, 0.35f, 0.12f, 0},
    {9, "Пауза"_cp1251, "", 0.3f, 0.4f, 0.35f, 0.12f, 0},
    {10, "Выдох"_cp1251, "", 0.3f, 0.1f, 0.35f, 0.12f, 0},
    {11, "Пауза"_cp1251, "", 0.3f, -0.2f, 0.35f, 0.12f, 0},
}};

// Captions are padded to one length per group: the drawing centres a caption by its length,
// so padded captions of a group all start the same distance left of their row.
constexpr std::array<ListButtonRow, 25> kListButtons{{
    {0, "Упражнение 1"_cp1251, 0.3f, 0.8f, 0.3f, 0.1f, 0, exerciseRowClicked},
    {0, "Упражнение 2"_cp1251, 0.3f, 0.6f, 0.3f, 0.1f, 0, exerciseRowClicked},
    {0, "Упражнение 3"_cp1251, 0.3f, 0.4f, 0.3f, 0.1f, 0, exerciseRowClicked},
    {0, "Упражнение 4"_cp1251, 0.3f, 0.2f, 0.3f, 0.1f, 0, exerciseRowClicked},
    {1, "Пульсовые интервалы             "_cp1251, 0.6f, 0.2f, 0.175f, 0.05f, 0,
     pulseIntervalRowClicked},
    {1, "Среднее (за цикл)               "_cp1251, 0.605f, 0.0f, 0.175f, 0.05f, 0,
     pulseIntervalRowClicked},
    {1, "Среднее(за 10 ударов)           "_cp1251, 0.6f, -0.2f, 0.175f, 0.05f, 0,
     pulseIntervalRowClicked},
    {2, "Снять стресс                      "_cp1251, 0.682f, 0.75f, 0.15f, 0.05f, 1, goalRowClicked},
    {2, "Восстановить силы                 "_cp1251, 0.686f, 0.65f, 0.15f, 0.05f, 1, goalRowClicked},
    {2, "Быстрее заснуть                   "_cp1251, 0.69f, 0.55f, 0.15f, 0.05f, 1, goalRowClicked},
    {2, "Поднять тонус                     "_cp1251, 0.694f, 0.45f, 0.15f, 0.05f, 1, goalRowClicked},
    {2, "Бросить курить                    "_cp1251, 0.698f, 0.35f, 0.15f, 0.05f, 1, goalRowClicked},
    {2, "Сбросить лишний вес               "_cp1251, 0.7f, 0.25f, 0.15f, 0.05f, 1, goalRowClicked},
    {2, "Снизить арт. давление             "_cp1251, 0.7f, 0.15f, 0.15f, 0.05f, 1, goalRowClicked},
    {2, "Метод Бутейко                     "_cp1251, 0.699f, 0.05f, 0.15f, 0.05f, 1, goalRowClicked},
    {2, "Укрепить иммунитет 1              "_cp1251, 0.695f, -0.05f, 0.15f, 0.05f, 1,
     goalRowClicked},
    {2, "Укрепить иммунитет 2              "_cp1251, 0.691f, -0.15f, 0.15f, 0.05f, 1,
     goalRowClicked},
    {2, "Снять головную боль               "_cp1251, 0.687f, -0.25f, 0.15f, 0.05f, 1,
     goalRowClicked},
    {2, "Метод Стрельниковой               "_cp1251, 0.683f, -0.35f, 0.15f, 0.05f, 1,
     goalRowClicked},
    {3, "Новичок          "_cp1251, 0.319f, 0.65f, 0.15f, 0.05f, 0, levelRowClicked},
    {3, "Начинающий       "_cp1251, 0.322f, 0.55f, 0.15f, 0.05f, 0, levelRowClicked},
    {3, "Любитель         "_cp1251, 0.324f, 0.45f, 0.15f, 0.05f, 0, levelRowClicked},
    {3, "Опытный          "_cp1251, 0.324f, 0.35f, 0.15f, 0.05f, 0, levelRowClicked},
    {3, "Эксперт          "_cp1251, 0.322f, 0.25f, 0.15f, 0.05f, 0, levelRowClicked},
    {3, "Мастер           "_cp1251, 0.319f, 0.15f, 0.15f, 0.05f, 0, levelRowClicked},
}};

// Caption length in bytes of each row group.
constexpr std::array<std::size_t, 4> kGroupCaptionLength{12, 32, 34, 17};

consteval bool captionsArePadded() {
    for (const ListButtonRow& row : kListButtons) {
        std::size_t length = 0;
        while (row.caption[length] != 0) ++length;
        if (length != kGroupCaptionLength[static_cast<std::size_t>(row.group)]) return false;
    }
    return true;
}
static_assert(captionsArePadded(), "a row caption lost or gained a padding space");

// 0 to 4 hide parts of the training screen; the settings file stores their states.
// Steppers are told apart by position: 5-6 volume, 7-8 cycles, 9-16 the four formula phases.
constexpr std::array<SmallButtonRow, 17> kSmallButtons{{
    {"Скрыть таймеры"_cp1251, 0.3f, 0.8f, 0.43f, 0.1f, 0, hideToggleClicked},
    {"Скрыть график"_cp1251, 0.3f, 0.55f, 0.43f, 0.1f, 0, hideToggleClicked},
    {"Скрыть фон"_cp1251, 0.3f, 0.3f, 0.43f, 0.1f, 0, hideToggleClicked},
    {"Скрыть задатчик"_cp1251, 0.3f, 0.05f, 0.43f, 0.1f, 0, hideToggleClicked},
    {"Скрыть дополнения"_cp1251, 0.3f, -0.2f, 0.43f, 0.1f, 0, hideToggleClicked},
    {"-"_cp1251, 0.09f, 0.67f, 0.1f, 0.05f, 0, volumeStepClicked},
    {"+ "_cp1251, 0.51f, 0.67f, 0.1f, 0.05f, 0, volumeStepClicked},
    {"-"_cp1251, -0.02f, -0.33f, 0.1f, 0.05f, 0, cyclesStepClicked},
    {"+ "_cp1251, 0.42f, -0.33f, 0.1f, 0.05f, 0, cyclesStepClicked},
    {"-"_cp1251, 0.09f, 0.67f, 0.1f, 0.05f, 0, formulaStepClicked},
    {"+ "_cp1251, 0.51f, 0.67f, 0.1f, 0.05f, 0, formulaStepClicked},
    {"-"_cp1251, 0.09f, 0.37f, 0.1f, 0.05f, 0, formulaStepClicked},
    {"+ "_cp1251, 0.51f, 0.37f, 0.1f, 0.05f, 0, formulaStepClicked},
    {"-"_cp1251, 0.09f, 0.07f, 0.1f, 0.05f, 0, formulaStepClicked},
    {"+ "_cp1251, 0.51f, 0.07f, 0.1f, 0.05f, 0, formulaStepClicked},
    {"-"_cp1251, 0.09f, -0.23f, 0.1f, 0.05f, 0, formulaStepClicked},
    {"+ "_cp1251, 0.51f, -0.23f, 0.1f, 0.05f, 0, formulaStepClicked},
}};

constexpr std::size_t kHideToggleCount = 5;

// The colour every initially selected row, and every row the actions select, is shown in.
constexpr float kSelectedRed = 1.0f, kSelectedGreen = 0.3f, kSelectedBlue = 0.31f;

void addMenuItems(std::size_t first, std::size_t end) {
    for (std::size_t i = first; i < end; ++i) {
        const MenuItemRow& r = kMenuItems[i];
        gui.addMenuItem(r.x, r.y, r.halfWidth, r.halfHeight, r.visible, r.caption, hoverMenuItem,
                        r.onClick);
    }
}

// A refused panel is reported and the build goes on; its widgets are still created.
void addPanel(std::size_t position) {
    const PanelRow& r = kPanels[position];
    if (!gui.addPanel(r.index, r.x, r.y, r.halfWidth, r.halfHeight, r.visible, r.title,
                      std::string(r.status)))
        showMessageBox("Bad panel index.", "Error!");
}

void addListButtons(std::size_t first, std::size_t end) {
    for (std::size_t i = first; i < end; ++i) {
        const ListButtonRow& r = kListButtons[i];
        gui.addListButton(r.group, r.x, r.y, r.halfWidth, r.halfHeight, r.visible, r.caption,
                          hoverListButton, r.onClick);
    }
}

// Checked colour of every small button: pure red.
void addSmallButtons(std::size_t first, std::size_t end) {
    for (std::size_t i = first; i < end; ++i) {
        const SmallButtonRow& r = kSmallButtons[i];
        gui.addSmallButton(r.x, r.y, 1.0f, 0.0f, 0.0f, r.halfWidth, r.halfHeight, r.visible,
                           r.caption, hoverSmallButton, r.onClick);
    }
}

void selectRow(std::uint32_t position) {
    gui.selectListButton(kSelectedRed, kSelectedGreen, kSelectedBlue, position);
}

// Every widget starts in its hover look and, as no widget is hovered, fades from it in the
// frames in which it is drawn. A record may hold any callback, so a missing one is skipped.
void applyHoverLooks() {
    for (std::size_t i = 0; i < gui.menuItems.size(); ++i)
        if (WidgetCallback f = gui.menuItems[i].onHover) f(static_cast<std::uint32_t>(i));
    for (std::size_t i = 0; i < gui.listButtons.size(); ++i)
        if (WidgetCallback f = gui.listButtons[i].onHover) f(static_cast<std::uint32_t>(i));
    for (std::size_t i = 0; i < gui.smallButtons.size(); ++i)
        if (WidgetCallback f = gui.smallButtons[i].onHover) f(static_cast<std::uint32_t>(i));
}

} // namespace

void buildUserInterface(std::int32_t width, std::int32_t height, void* window) {
    // The size is not needed (all layout is in normalised units), and the message-box layer
    // has no owner window to pass.
    (void)width;
    (void)height;
    (void)window;

    gui = Gui(); // a fresh Gui; with the context now current its textures load

    addMenuItems(0, 7);

    addPanel(0);
    addListButtons(0, 4);

    loadSettings();

    for (std::size_t k = 0; k < kHideToggleCount; ++k) {
        addSmallButtons(k, k + 1);
        if (k < gui.smallButtons.size())
            gui.smallButtons[k].raised = settingsBuffer[k] == '0' ? 1 : 0;
    }

    addPanel(1);
    addSmallButtons(5, 7);

    addPanel(2);
    addListButtons(4, 6);
    selectRow(5);
    addListButtons(6, 7);

    addPanel(3);
    addListButtons(7, 19);

    selectRow(7);
    gui.session.applyGoal(7, 1);

    addPanel(4);
    addListButtons(19, 20);
    selectRow(19);
    addListButtons(20, 25);

    addPanel(5);
    addSmallButtons(7, 9);

    addPanel(6);
    addPanel(7);

    addPanel(8);
    addSmallButtons(9, 11);
    addPanel(9);
    addSmallButtons(11, 13);
    addPanel(10);
    addSmallButtons(13, 15);
    addPanel(11);
    addSmallButtons(15, 17);

    glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
    glClearDepth(1.0);
    glDepthFunc(GL_LESS);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();

    createBitmapFont();

    applyHoverLooks();
}

// The click pass has already inverted the toggle, which is all a toggle click does.
void hideToggleClicked(std::uint32_t position) { (void)position; }
