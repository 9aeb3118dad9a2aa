#include "Quantise.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>

namespace {

struct Entry {
    std::array<int, 3> rgb;
    std::int64_t weight;
};

struct Box {
    std::vector<Entry> entries;

    int range(int channel) const {
        int lo = 255;
        int hi = 0;
        for (const Entry& e : entries) {
            lo = std::min(lo, e.rgb[channel]);
            hi = std::max(hi, e.rgb[channel]);
        }
        return hi - lo;
    }

    // The channel to cut along and how much a cut is worth: the eye is most sensitive to
    // green and least to blue, so ranges are weighted the same way as in nearestIndex.
    std::pair<int, std::int64_t> widest() const {
        static constexpr std::array<int, 3> weights{3, 4, 2};
        int best = 0;
        std::int64_t bestScore = -1;
        for (int c = 0; c < 3; ++c) {
            const std::int64_t score = static_cast<std::int64_t>(range(c)) * weights[c];
            if (score > bestScore) {
                best = c;
                bestScore = score;
            }
        }
        return {best, bestScore};
    }

    QRgb mean() const {
        std::array<std::int64_t, 3> sum{};
        std::int64_t total = 0;
        for (const Entry& e : entries) {
            for (int c = 0; c < 3; ++c)
                sum[c] += e.rgb[c] * e.weight;
            total += e.weight;
        }
        auto channel = [&](int c) {
            return static_cast<int>((sum[c] * 2 + total) / (2 * total));
        };
        return qRgb(channel(0), channel(1), channel(2));
    }
};

int luminance(QRgb c) {
    return 299 * qRed(c) + 587 * qGreen(c) + 114 * qBlue(c);
}

} // namespace

std::vector<QRgb> medianCut(const std::vector<QRgb>& colours, int count) {
    // Distinct colours with their pixel counts, in RGB order (std::map), so that the input
    // order cannot influence the cuts.
    std::map<QRgb, std::int64_t> histogram;
    for (QRgb c : colours)
        ++histogram[c | 0xff000000u];
    if (histogram.empty() || count <= 0)
        return {};

    std::vector<Box> boxes(1);
    for (const auto& [c, n] : histogram)
        boxes[0].entries.push_back({{qRed(c), qGreen(c), qBlue(c)}, n});

    while (static_cast<int>(boxes.size()) < count) {
        // Cut the box with the widest weighted spread; the first such box wins a tie.
        int pick = -1;
        std::int64_t pickScore = 0;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].entries.size() < 2)
                continue;
            const std::int64_t score = boxes[i].widest().second;
            if (score > pickScore) {
                pick = static_cast<int>(i);
                pickScore = score;
            }
        }
        if (pick < 0)
            break; // every remaining box holds a single colour
        Box& box = boxes[static_cast<std::size_t>(pick)];
        const int channel = box.widest().first;
        std::stable_sort(
            box.entries.begin(), box.entries.end(),
            [channel](const Entry& a, const Entry& b) { return a.rgb[channel] < b.rgb[channel]; });
        // Weighted median, kept off both ends so each half holds at least one colour.
        std::int64_t total = 0;
        for (const Entry& e : box.entries)
            total += e.weight;
        std::size_t cut = 1;
        std::int64_t running = box.entries[0].weight;
        while (cut + 1 < box.entries.size() && running * 2 < total) {
            running += box.entries[cut].weight;
            ++cut;
        }
        Box upper;
        upper.entries.assign(box.entries.begin() + static_cast<std::ptrdiff_t>(cut),
                             box.entries.end());
        box.entries.resize(cut);
        boxes.push_back(std::move(upper));
    }

    std::vector<QRgb> palette;
    for (const Box& b : boxes)
        palette.push_back(b.mean());
    std::sort(palette.begin(), palette.end(), [](QRgb a, QRgb b) {
        const int la = luminance(a);
        const int lb = luminance(b);
        return la != lb ? la < lb : a < b;
    });
    palette.erase(std::unique(palette.begin(), palette.end()), palette.end());
    return palette;
}

int nearestIndex(const std::vector<QRgb>& palette, QRgb colour, int first) {
    int best = first;
    long bestDistance = -1;
    for (int i = first; i < static_cast<int>(palette.size()); ++i) {
        const QRgb p = palette[static_cast<std::size_t>(i)];
        const long dr = qRed(p) - qRed(colour);
        const long dg = qGreen(p) - qGreen(colour);
        const long db = qBlue(p) - qBlue(colour);
        const long distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}
