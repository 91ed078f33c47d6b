// Visible-texel maps of the textures and the quads cut down to the parts that can show.
#include "render/visible_texels.hpp"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace {

// Cells of 4 x 4 texels: fine enough to follow a glyph or a rounded frame, coarse enough that
// a quad becomes a few dozen pieces at most.
constexpr int kCell = 4;

// The alpha test the drawing uses (greater than 0.1) cuts every texel of alpha 25 or less
// whatever the colour: filtering never raises alpha above the largest of the texels it
// mixes, and 25/255 is below 0.1.
constexpr std::uint8_t kCutByAlphaTest = 25;

} // namespace

struct VisibleCells {
    int width = 0, height = 0;   // texels
    int columns = 0, rows = 0;   // cells
    std::vector<bool> blended;   // rows x columns, row 0 at t = 0: some alpha above zero
    std::vector<bool> tested;    // ... some alpha above kCutByAlphaTest
};

namespace {

// The cells that can change a pixel in the state the caller names.
const std::vector<bool>* cellsThatShow(const VisibleCells& cells, TexelCut cut) {
    switch (cut) {
    case TexelCut::AlphaTest: return &cells.tested;
    case TexelCut::Blending: return &cells.blended;
    default: return nullptr;
    }
}

std::map<std::int32_t, VisibleCells>& maps() {
    static std::map<std::int32_t, VisibleCells> all;
    return all;
}

void emitWhole(const TexturedCorner (&corners)[4], float z) {
    for (const TexturedCorner& c : corners) {
        glTexCoord2f(c.s, c.t);
        glVertex3f(c.x, c.y, z);
    }
}

// Texture coordinates to positions, as the quad's corners fix them.
struct AffineMap {
    double s0, t0, x0, y0, xs, xt, ys, yt;
    double x(double s, double t) const { return x0 + xs * (s - s0) + xt * (t - t0); }
    double y(double s, double t) const { return y0 + ys * (s - s0) + yt * (t - t0); }
};

// False when the quad is not the affine image of its texture rectangle (then it is drawn
// whole, as the pieces could not keep its interpolation).
bool affineMapOf(const TexturedCorner (&c)[4], AffineMap& m) {
    const double ds1 = c[1].s - c[0].s, dt1 = c[1].t - c[0].t;
    const double ds3 = c[3].s - c[0].s, dt3 = c[3].t - c[0].t;
    const double det = ds1 * dt3 - ds3 * dt1;
    if (std::fabs(det) < 1e-12) return false;
    const double dx1 = c[1].x - c[0].x, dx3 = c[3].x - c[0].x;
    const double dy1 = c[1].y - c[0].y, dy3 = c[3].y - c[0].y;
    m = {c[0].s, c[0].t, c[0].x, c[0].y, (dx1 * dt3 - dx3 * dt1) / det,
         (ds1 * dx3 - ds3 * dx1) / det, (dy1 * dt3 - dy3 * dt1) / det,
         (ds1 * dy3 - ds3 * dy1) / det};
    return std::fabs(m.x(c[2].s, c[2].t) - c[2].x) < 1e-4 &&
           std::fabs(m.y(c[2].s, c[2].t) - c[2].y) < 1e-4;
}

struct Piece {
    double sFrom, sTo, tFrom, tTo;
};

void emitPiece(const AffineMap& m, const Piece& p, float z) {
    const double s[4] = {p.sFrom, p.sTo, p.sTo, p.sFrom};
    const double t[4] = {p.tFrom, p.tFrom, p.tTo, p.tTo};
    for (int v = 0; v < 4; ++v) {
        glTexCoord2f(static_cast<float>(s[v]), static_cast<float>(t[v]));
        glVertex3f(static_cast<float>(m.x(s[v], t[v])), static_cast<float>(m.y(s[v], t[v])), z);
    }
}

} // namespace

void noteVisibleTexels(std::int32_t texture, int width, int height, const std::uint8_t* rgba) {
    if (!rgba || width <= 0 || height <= 0) {
        forgetVisibleTexels(texture);
        return;
    }
    const auto alphaAt = [&](int x, int y) {
        // Linear filtering reads the neighbours too, across the edge as the texture repeats.
        x = (x + width) % width;
        y = (y + height) % height;
        return rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x)) * 4 + 3];
    };
    VisibleCells cells;
    cells.width = width;
    cells.height = height;
    cells.columns = (width + kCell - 1) / kCell;
    cells.rows = (height + kCell - 1) / kCell;
    const auto count = static_cast<std::size_t>(cells.columns * cells.rows);
    cells.blended.assign(count, false);
    cells.tested.assign(count, false);
    for (int row = 0; row < cells.rows; ++row) {
        for (int column = 0; column < cells.columns; ++column) {
            std::uint8_t most = 0;
            for (int y = row * kCell - 1; y <= (row + 1) * kCell; ++y)
                for (int x = column * kCell - 1; x <= (column + 1) * kCell; ++x)
                    most = std::max(most, alphaAt(x, y));
            const auto at = static_cast<std::size_t>(row * cells.columns + column);
            cells.blended[at] = most > 0;
            cells.tested[at] = most > kCutByAlphaTest;
        }
    }
    maps()[texture] = std::move(cells);
}

void forgetVisibleTexels(std::int32_t texture) { maps().erase(texture); }

VisibleQuads::VisibleQuads(std::int32_t texture, TexelCut cut) {
    const auto found = maps().find(texture);
    if (found != maps().end()) {
        cells_ = &found->second;
        shows_ = cellsThatShow(found->second, cut);
    }
    glBegin(GL_QUADS);
}

VisibleQuads::~VisibleQuads() { glEnd(); }

void VisibleQuads::add(const TexturedCorner (&corners)[4], float z, bool oneBox) {
    AffineMap map{};
    if (!cells_ || !shows_ || !affineMapOf(corners, map)) return emitWhole(corners, z);
    const VisibleCells& cells = *cells_;
    const std::vector<bool>* shows = shows_;
    const auto visibleAt = [&](int column, int row) {
        return (*shows)[static_cast<std::size_t>(row * cells.columns + column)];
    };

    double sMin = corners[0].s, sMax = sMin, tMin = corners[0].t, tMax = tMin;
    for (const TexturedCorner& c : corners) {
        sMin = std::min<double>(sMin, c.s);
        sMax = std::max<double>(sMax, c.s);
        tMin = std::min<double>(tMin, c.t);
        tMax = std::max<double>(tMax, c.t);
    }
    // Coordinates outside the texture repeat it; such quads are drawn whole.
    if (sMin < 0.0 || tMin < 0.0 || sMax > 1.0 || tMax > 1.0) return emitWhole(corners, z);

    const double cellS = static_cast<double>(kCell) / cells.width;
    const double cellT = static_cast<double>(kCell) / cells.height;
    const int firstColumn = std::clamp(static_cast<int>(std::floor(sMin / cellS)), 0, cells.columns - 1);
    const int endColumn = std::clamp(static_cast<int>(std::ceil(sMax / cellS)), firstColumn + 1, cells.columns);
    const int firstRow = std::clamp(static_cast<int>(std::floor(tMin / cellT)), 0, cells.rows - 1);
    const int endRow = std::clamp(static_cast<int>(std::ceil(tMax / cellT)), firstRow + 1, cells.rows);
    const auto sAt = [&](int column) { return std::clamp(column * cellS, sMin, sMax); };
    const auto tAt = [&](int row) { return std::clamp(row * cellT, tMin, tMax); };

    // Runs of visible cells per row; rows with the same runs are joined into one piece.
    std::vector<Piece> pieces;
    std::vector<std::pair<int, int>> runs, previousRuns;
    std::size_t openFrom = 0; // pieces from here on belong to the previous row's runs
    for (int row = firstRow; row < endRow; ++row) {
        runs.clear();
        for (int column = firstColumn; column < endColumn; ++column) {
            if (!visibleAt(column, row)) continue;
            if (!runs.empty() && runs.back().second == column) runs.back().second = column + 1;
            else runs.emplace_back(column, column + 1);
        }
        if (!runs.empty() && runs == previousRuns) {
            for (std::size_t i = openFrom; i < pieces.size(); ++i) pieces[i].tTo = tAt(row + 1);
        } else {
            openFrom = pieces.size();
            for (const auto& [from, to] : runs)
                pieces.push_back({sAt(from), sAt(to), tAt(row), tAt(row + 1)});
        }
        previousRuns = runs;
    }
    if (pieces.empty()) return;
    if (oneBox) {
        Piece box = pieces.front();
        for (const Piece& p : pieces) {
            box.sFrom = std::min(box.sFrom, p.sFrom);
            box.sTo = std::max(box.sTo, p.sTo);
            box.tFrom = std::min(box.tFrom, p.tFrom);
            box.tTo = std::max(box.tTo, p.tTo);
        }
        pieces.assign(1, box);
    }
    const Piece& only = pieces.front();
    if (pieces.size() == 1 && only.sFrom == sMin && only.sTo == sMax && only.tFrom == tMin &&
        only.tTo == tMax)
        return emitWhole(corners, z); // all of it shows: the quad as it was
    for (const Piece& p : pieces) emitPiece(map, p, z);
}

void drawVisibleQuad(std::int32_t texture, const TexturedCorner (&corners)[4], float z,
                     TexelCut cut) {
    VisibleQuads(texture, cut).add(corners, z);
}
