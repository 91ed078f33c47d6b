"""Where the menu's widgets stand (menu-local units, from the fixed menu table), which of them
each page shows, and a pixel test that tells a widget's skin from the bare backdrop."""

import math

from harness import luminance, menu_px

GLYPH_ADVANCE = 0.07 / 1.5  # glyph text of size 0.07: one advance per byte
GLYPH_WIDTH = 0.07
GLYPH_HALF_HEIGHT = 0.07 / 1.5
CAPTION_STEP = 0.0525  # a caption starts floor(L / 2) of these left of its widget's x
INSIDE = 0.035  # how deep inside (or outside) a widget a probe must lie to count


class Box:
    """A rectangle (x0, y0) .. (x1, y1) in menu-local units."""

    def __init__(self, x0, y0, x1, y1):
        self.x0, self.y0, self.x1, self.y1 = x0, y0, x1, y1

    def inset(self, point):
        """How deep inside the box the point lies (negative: how far outside)."""
        x, y = point
        return min(x - self.x0, self.x1 - x, y - self.y0, self.y1 - y)


def centred(x, y, half_width, half_height):
    return Box(x - half_width, y - half_height, x + half_width, y + half_height)


def text_box(left, y, text):
    """The glyph quads of a text drawn from `left` at centre line `y` (trailing blanks draw
    nothing)."""
    shown = len(text.rstrip(" "))
    if shown == 0:
        return None
    return Box(left, y - GLYPH_HALF_HEIGHT, left + (shown - 1) * GLYPH_ADVANCE + GLYPH_WIDTH,
               y + GLYPH_HALF_HEIGHT)


class Widget:
    def __init__(self, name, box, texts, probe_box=None, row=False):
        self.name = name
        self.row = row  # a text row, judged by its caption
        self.box = box
        self.texts = [t for t in texts if t is not None]
        # Where the skin is judged: buttons have a light, glossy top that is left out.
        self.probe_box = probe_box or box


def button(caption, x, y, half_width, half_height, row=False):
    left = x - (len(caption) // 2) * CAPTION_STEP
    box = centred(x, y, half_width, half_height)
    return Widget(caption.strip() or caption, box, [text_box(left, y, caption)],
                  Box(box.x0, box.y0, box.x1, y + 0.4 * half_height + INSIDE), row)


def panel(title, x, y, half_width, half_height, status_bytes=7):
    left = x - (len(title) // 2) * CAPTION_STEP
    return Widget(title.strip() or "panel", centred(x, y, half_width, half_height),
                  [text_box(left, y + half_height - 0.035, title),
                   text_box(left, y - half_height * 0.25, "0" * status_bytes)])


# The seven main entries: caption, x, y, halfWidth (halfHeight 0.09 for all).
ENTRIES = [("Старт", -0.65, 0.8, 0.27), ("Цель", -0.66, 0.6, 0.269),
           ("Режим", -0.67, 0.4, 0.268), ("Формула", -0.68, 0.2, 0.267),
           ("Внешний вид", -0.67, 0.0, 0.268), ("Опции", -0.66, -0.2, 0.269),
           ("Выход", -0.65, -0.4, 0.27)]
ENTRY_HALF_HEIGHT = 0.09


def entry_px(index):
    _, x, y, _ = ENTRIES[index]
    return menu_px(x, y)


GOALS = ["Снять стресс", "Восстановить силы", "Быстрее заснуть", "Поднять тонус",
         "Бросить курить", "Сбросить лишний вес", "Снизить арт. давление", "Метод Бутейко",
         "Укрепить иммунитет 1", "Укрепить иммунитет 2", "Снять головную боль",
         "Метод Стрельниковой"]
GOAL_X = [0.682, 0.686, 0.69, 0.694, 0.698, 0.7, 0.7, 0.699, 0.695, 0.691, 0.687, 0.683]
LEVELS = ["Новичок", "Начинающий", "Любитель", "Опытный", "Эксперт", "Мастер"]
LEVEL_X = [0.319, 0.322, 0.324, 0.324, 0.322, 0.319]
GRAPH_MODES = [("Пульсовые интервалы", 0.6, 0.2), ("Среднее (за цикл)", 0.605, 0.0),
               ("Среднее(за 10 ударов)", 0.6, -0.2)]
TOGGLES = ["Скрыть таймеры", "Скрыть график", "Скрыть фон", "Скрыть задатчик",
           "Скрыть дополнения"]
TOGGLE_Y = [0.8, 0.55, 0.3, 0.05, -0.2]
TOGGLE_HALF = (0.43, 0.1)


def toggle_box(index):
    return centred(0.3, TOGGLE_Y[index], *TOGGLE_HALF)


# Steppers: (x, y) of the small "-" and "+ " buttons, half extents 0.1 x 0.05.
STEPPER_HALF = (0.1, 0.05)
CYCLES_MINUS, CYCLES_PLUS = (-0.02, -0.33), (0.42, -0.33)
FORMULA_MINUS = [(0.09, 0.67), (0.09, 0.37), (0.09, 0.07), (0.09, -0.23)]
FORMULA_PLUS = [(0.51, 0.67), (0.51, 0.37), (0.51, 0.07), (0.51, -0.23)]
FORMULA_PANEL_Y = [0.7, 0.4, 0.1, -0.2]
FORMULA_TITLES = ["Вдох", "Пауза", "Выдох", "Пауза"]


def status_box(title, x, y, half_height, first_byte, last_byte):
    """Where bytes first_byte..last_byte of a panel's status line are drawn."""
    left = x - (len(title) // 2) * CAPTION_STEP + first_byte * GLYPH_ADVANCE
    right = x - (len(title) // 2) * CAPTION_STEP + last_byte * GLYPH_ADVANCE + GLYPH_WIDTH
    centre = y - half_height * 0.25
    return Box(left, centre - GLYPH_HALF_HEIGHT, right, centre + GLYPH_HALF_HEIGHT)


# The cycle count is written as five blanks and two digits on panel "Время(циклы)".
CYCLES_DIGITS = status_box("Время(циклы)", 0.2, -0.3, 0.12, 5, 6)
# A beat count is a blank and one or two digits on each formula panel.
FORMULA_DIGITS = [status_box(FORMULA_TITLES[k], 0.3, FORMULA_PANEL_Y[k], 0.12, 1, 2)
                  for k in range(4)]
# The sensor words start at their panel's title and are five glyphs long ("Готов").
BREATH_WORD = status_box("Датчик дыхания", -0.5, -0.7, 0.15, 0, 4)
PULSE_WORD = status_box("Датчик пульса", 0.5, -0.7, 0.15, 0, 4)


def stepper(caption, position):
    return button(caption, position[0], position[1], *STEPPER_HALF)


PAGES = {
    "Цель": [panel("   Выберите цель тренировки", 0.3, 0.2, 0.6, 0.7, 0)]
    + [button(GOALS[i].ljust(34), GOAL_X[i], 0.75 - 0.1 * i, 0.15, 0.05, True) for i in range(12)],
    "Режим": [panel("Уровень сложности", 0.2, 0.4, 0.45, 0.4, 0),
              panel("Время(циклы)", 0.2, -0.3, 0.35, 0.12),
              stepper("-", CYCLES_MINUS), stepper("+ ", CYCLES_PLUS)]
    + [button(LEVELS[i].ljust(17), LEVEL_X[i], 0.65 - 0.1 * i, 0.15, 0.05, True) for i in range(6)],
    "Формула": [panel(FORMULA_TITLES[k], 0.3, FORMULA_PANEL_Y[k], 0.35, 0.12, 3)
                for k in range(4)]
    + [stepper("-", p) for p in FORMULA_MINUS] + [stepper("+ ", p) for p in FORMULA_PLUS],
    "Внешний вид": [button(TOGGLES[i], 0.3, TOGGLE_Y[i], *TOGGLE_HALF) for i in range(5)],
    "Опции": [panel("Громкость", 0.3, 0.7, 0.35, 0.12), panel("График", 0.3, 0.0, 0.6, 0.4, 0),
              stepper("-", (0.09, 0.67)), stepper("+ ", (0.51, 0.67))]
    + [button(caption.ljust(32), x, y, 0.175, 0.05, True) for caption, x, y in GRAPH_MODES],
}
PAGE_ENTRY = {"Цель": 1, "Режим": 2, "Формула": 3, "Внешний вид": 4, "Опции": 5}

# The bare backdrop shows at this x on every page for y from -0.5 to 0.9: right of the main
# entries, left of every page's panels. It is the reference a probe is compared with.
BACKDROP_X = -0.325
PROBE_STEP = 0.0125
PROBE_AREA = Box(-0.29, -0.49, 0.95, 0.93)
TEXT_CLEARANCE = 0.015
SKIN_DROP = 25  # a skin is clearly darker than the backdrop beside it
CAPTION_INK = 0.03  # a row's caption covers at least this share of its glyph quads
BACKDROP_SPREAD = 12  # the bare backdrop varies little across the probe area


def grid_points(box):
    """Probe points of the fixed grid that lie at least INSIDE deep in `box`."""
    x0 = max(box.x0 + INSIDE, PROBE_AREA.x0)
    x1 = min(box.x1 - INSIDE, PROBE_AREA.x1)
    y0 = max(box.y0 + INSIDE, PROBE_AREA.y0)
    y1 = min(box.y1 - INSIDE, PROBE_AREA.y1)
    first_x, last_x = math.ceil(x0 / PROBE_STEP), math.floor(x1 / PROBE_STEP)
    first_y, last_y = math.ceil(y0 / PROBE_STEP), math.floor(y1 / PROBE_STEP)
    return [(i * PROBE_STEP, j * PROBE_STEP) for i in range(first_x, last_x + 1)
            for j in range(first_y, last_y + 1)]


def probe_level(image, point, references=None):
    """How much lighter (positive) or darker a probe point is than the backdrop at BACKDROP_X
    on the same height."""
    reference = references.get(point[1]) if references is not None else None
    if reference is None:
        reference = luminance(image.mean_around(*menu_px(BACKDROP_X, point[1]), 1))
        if references is not None:
            references[point[1]] = reference
    return luminance(image.mean_around(*menu_px(*point), 1)) - reference


def thinned(points, most=160):
    """At most about `most` of the points, spread evenly: a median needs no more."""
    stride = max(1, len(points) // most)
    return points[::stride]


def clear_of_text(point, widgets):
    for w in widgets:
        for t in w.texts:
            if t.inset(point) > -TEXT_CLEARANCE:
                return False
    return True


def is_caption_ink(p):
    return min(p) >= 200 or (p[0] >= 150 and p[0] - max(p[1], p[2]) >= 70)


def caption_ink(image, widget):
    """The share of light or red text pixels where a row's caption is drawn."""
    t = widget.texts[0]
    x0, y1 = menu_px(t.x0, t.y0)
    x1, y0 = menu_px(t.x1, t.y1)
    total = max((x1 - x0) * (y1 - y0), 1)
    return image.count(x0, y0, x1, y1, is_caption_ink) / total


def median(values):
    ordered = sorted(values)
    return ordered[len(ordered) // 2]


def check_page(image, page, report=None):
    """Problems (texts) found on a screenshot that should show `page`: every widget of the page
    must show its skin, and where the other pages' widgets would stand the backdrop must show.
    A widget is judged by the median over the grid points inside it, clear of text."""
    shown = PAGES[page]
    problems = []
    references = {}
    for widget in shown:
        if widget.row:
            ink = caption_ink(image, widget)
            if report is not None:
                report.append(("row", page, widget.name, 0, ink))
            if ink < CAPTION_INK:
                problems.append(f"{page}: the row '{widget.name}' shows no caption "
                                f"({ink:.1%} of its caption area is text)")
            continue
        points = [p for p in grid_points(widget.probe_box) if clear_of_text(p, shown)]
        if len(points) < 3:
            continue
        level = median(probe_level(image, p, references) for p in thinned(points))
        if report is not None:
            report.append(("skin", page, widget.name, len(points), level))
        if level > -SKIN_DROP:
            problems.append(f"{page}: '{widget.name}' does not show (level {level:.0f} against "
                            f"the backdrop over {len(points)} points)")
    seen = set()
    for other, widgets in PAGES.items():
        if other == page:
            continue
        for widget in widgets:
            key = (widget.box.x0, widget.box.y0, widget.box.x1, widget.box.y1)
            if key in seen:
                continue
            seen.add(key)
            points = [p for p in grid_points(widget.probe_box)
                      if all(w.box.inset(p) <= -INSIDE for w in shown)]
            if len(points) < 3:
                continue
            level = median(probe_level(image, p, references) for p in thinned(points))
            if report is not None:
                report.append(("bare", other, widget.name, len(points), level))
            if abs(level) > BACKDROP_SPREAD:
                problems.append(f"{page}: something shows where '{widget.name}' of page {other} "
                                f"stands (level {level:.0f} over {len(points)} points)")
    return problems
