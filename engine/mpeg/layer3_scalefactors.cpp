#include "layer3_scalefactors.h"

#include <cstring>

#include "layer3_band_tables.h"

namespace kivo::mpeg {

void readScaleFactorsMpeg1(BitReader& br, const GranuleChannelInfo& g, int granule, int scfsi,
                           const ScaleFactors& granule0, ScaleFactors* sf) {
    const int slen1 = kSlen[0][g.scalefacCompress & 15];
    const int slen2 = kSlen[1][g.scalefacCompress & 15];
    if (g.blockType == 2) {
        std::memset(sf, 0, sizeof(*sf));
        int band = 0;
        if (g.mixedBlock) {
            for (; band < 8; ++band) sf->longBand[band] = static_cast<uint8_t>(br.read(slen1));
            band = 3;
        }
        for (; band < 12; ++band) {
            const int slen = band < 6 ? slen1 : slen2;
            for (int w = 0; w < 3; ++w)
                sf->shortBand[w][band] = static_cast<uint8_t>(br.read(slen));
        }
        return;
    }
    // Groups of long bands that scfsi may carry over from granule 0.
    static constexpr int kGroupStart[5] = {0, 6, 11, 16, 21};
    for (int group = 0; group < 4; ++group) {
        const int first = kGroupStart[group], end = kGroupStart[group + 1];
        if (granule == 1 && (scfsi & (8 >> group))) {
            std::memcpy(sf->longBand + first, granule0.longBand + first, end - first);
            continue;
        }
        const int slen = group < 2 ? slen1 : slen2;
        for (int band = first; band < end; ++band) {
            sf->longBand[band] = static_cast<uint8_t>(br.read(slen));
        }
    }
    sf->longBand[21] = sf->longBand[22] = 0;
    std::memset(sf->shortBand, 0, sizeof(sf->shortBand));
}

void readScaleFactorsLsf(BitReader& br, GranuleChannelInfo* g, ScaleFactors* sf,
                         IntensityLimits* limits) {
    const LsfSlen s = lsfSlen(g->scalefacCompress, limits != nullptr);
    g->preflag = s.preflag;
    if (limits) limits->scale = g->scalefacCompress & 1;
    const bool isShort = g->blockType == 2;
    const bool mixed = isShort && g->mixedBlock;
    const uint8_t* counts = kLsfGroupCounts[s.row][mixed ? 2 : isShort ? 1 : 0];
    std::memset(sf, 0, sizeof(*sf));

    // Scale factors come one per long band (the long part of a mixed block: 6 bands) and then
    // one per window and short band, from short band 3 in a mixed block.
    const int longCount = isShort ? (mixed ? 6 : 0) : 22;
    const int shortFirst = mixed ? 3 : 0;
    int n = 0;
    for (int group = 0; group < 4; ++group) {
        const int slen = s.slen[group];
        const uint8_t largest = static_cast<uint8_t>((1 << slen) - 1);
        for (int k = 0; k < counts[group]; ++k, ++n) {
            const uint8_t v = static_cast<uint8_t>(br.read(slen));
            if (n < longCount) {
                sf->longBand[n] = v;
                if (limits) limits->longBand[n] = largest;
            } else {
                const int m = n - longCount;
                const int band = shortFirst + m / 3;
                if (band > 12) continue;
                sf->shortBand[m % 3][band] = v;
                if (limits) limits->shortBand[band] = largest;
            }
        }
    }
}

}  // namespace kivo::mpeg
