#include "tools/lzari_encoder.h"

#include <cstring>
#include <memory>

namespace {

constexpr uint32_t N = LzariCoder::kWindow;
constexpr uint32_t F = 60;
constexpr uint32_t kThreshold = 2;
constexpr uint32_t kChars = LzariCoder::kChars;
constexpr uint32_t Q1 = 0x8000, Q2 = 0x10000, Q3 = 0x18000;
constexpr uint32_t kMaxCum = Q1 - 1;
constexpr uint32_t kPrefill = N - F;  // 4,036 blanks before the text
constexpr int kChainDepth = 192;

}  // namespace

LzariCoder::LzariCoder() { InitModel(); }

void LzariCoder::EncodeChar(uint32_t c) {
    const uint32_t s = uint32_t(symbolOfChar[c]);
    const uint32_t range = high - low;
    high = low + range * cum[s - 1] / cum[0];
    low += range * cum[s] / cum[0];
    Renormalise();
    Adapt(s);
}

void LzariCoder::EncodePosition(uint32_t p) {
    const uint32_t range = high - low;
    high = low + range * posCum[p] / posCum[0];
    low += range * posCum[p + 1] / posCum[0];
    Renormalise();
}

std::vector<uint8_t> LzariCoder::Finish() {
    ++pending;
    if (low < Q1) OutputWithPending(0); else OutputWithPending(1);
    if (mask != 0x80) out.push_back(uint8_t(byte));
    // The decoder looks 17 bits ahead; two more bytes keep that look
    // inside the stream.
    out.push_back(0);
    out.push_back(0);
    return std::move(out);
}

void LzariCoder::InitModel() {
    cum[kChars] = 0;
    for (uint32_t s = kChars; s >= 1; --s) {
        symbolOfChar[s - 1] = int32_t(s);
        charOfSymbol[s] = int32_t(s - 1);
        freq[s] = 1;
        cum[s - 1] = cum[s] + 1;
    }
    freq[0] = 0;
    posCum[N] = 0;
    for (uint32_t i = N; i >= 1; --i) posCum[i - 1] = posCum[i] + 10000 / (i + 200);
}

void LzariCoder::Adapt(uint32_t s) {
    if (cum[0] >= kMaxCum) {
        ++halvings;
        uint32_t c = 0;
        for (uint32_t i = kChars; i > 0; --i) {
            cum[i] = c;
            c += (freq[i] = (freq[i] + 1) >> 1);
        }
        cum[0] = c;
    }
    uint32_t i = s;
    while (freq[i] == freq[i - 1]) --i;
    if (i < s) {
        const int32_t chI = charOfSymbol[i], chS = charOfSymbol[s];
        charOfSymbol[i] = chS;
        charOfSymbol[s] = chI;
        symbolOfChar[chI] = int32_t(s);
        symbolOfChar[chS] = int32_t(i);
    }
    ++freq[i];
    for (uint32_t j = 0; j < i; ++j) ++cum[j];
}

void LzariCoder::PutBit(uint32_t bit) {
    if (bit) byte |= mask;
    mask >>= 1;
    if (mask == 0) {
        out.push_back(uint8_t(byte));
        byte = 0;
        mask = 0x80;
    }
}

void LzariCoder::OutputWithPending(uint32_t bit) {
    PutBit(bit);
    for (; pending > 0; --pending) PutBit(!bit);
}

void LzariCoder::Renormalise() {
    for (;;) {
        if (high <= Q2) {
            OutputWithPending(0);
        } else if (low >= Q2) {
            OutputWithPending(1);
            low -= Q2;
            high -= Q2;
        } else if (low >= Q1 && high <= Q3) {
            ++pending;
            low -= Q1;
            high -= Q1;
        } else {
            break;
        }
        low += low;
        high += high;
    }
}

std::vector<uint8_t> LzariEncode(const uint8_t* text, size_t size) {
    // The virtual stream: the decoder's pre-filled blanks, then the text.
    // Position v of it sits in ring cell v mod N, so a copy from distance d
    // is coded as position d - 1.
    std::vector<uint8_t> v(kPrefill + size);
    std::memset(v.data(), 0x20, kPrefill);
    if (size) std::memcpy(v.data() + kPrefill, text, size);
    const size_t end = v.size();

    constexpr uint32_t kHashBits = 15;
    std::vector<int32_t> head(size_t(1) << kHashBits, -1);
    std::vector<int32_t> prev(end, -1);
    auto hash = [&](size_t i) {
        return ((uint32_t(v[i]) << 10) ^ (uint32_t(v[i + 1]) << 5) ^ v[i + 2]) &
               ((1u << kHashBits) - 1);
    };
    auto insert = [&](size_t i) {
        if (i + 2 >= end) return;
        const uint32_t h = hash(i);
        prev[i] = head[h];
        head[h] = int32_t(i);
    };
    for (size_t i = 0; i < kPrefill; ++i) insert(i);

    auto enc = std::make_unique<LzariCoder>();
    size_t cur = kPrefill;
    while (cur < end) {
        const size_t maxLen = std::min<size_t>(F, end - cur);
        size_t bestLen = 0, bestDist = 0;
        if (maxLen > kThreshold) {
            int32_t cand = head[hash(cur)];
            for (int depth = 0; cand >= 0 && depth < kChainDepth; ++depth, cand = prev[size_t(cand)]) {
                const size_t dist = cur - size_t(cand);
                if (dist > N) break;
                size_t len = 0;
                while (len < maxLen && v[size_t(cand) + len] == v[cur + len]) ++len;
                if (len > bestLen) {
                    bestLen = len;
                    bestDist = dist;
                    if (len == maxLen) break;
                }
            }
        }
        if (bestLen > kThreshold) {
            enc->EncodeChar(uint32_t(255 - kThreshold + bestLen));
            enc->EncodePosition(uint32_t(bestDist - 1));
            for (size_t k = 0; k < bestLen; ++k) insert(cur + k);
            cur += bestLen;
        } else {
            enc->EncodeChar(v[cur]);
            insert(cur);
            ++cur;
        }
    }
    return enc->Finish();
}

std::vector<uint8_t> PackContainer(const uint8_t* text, size_t size) {
    std::vector<uint8_t> stream = LzariEncode(text, size);
    std::vector<uint8_t> container(4 + stream.size());
    const uint32_t n = uint32_t(size);
    container[0] = uint8_t(n);
    container[1] = uint8_t(n >> 8);
    container[2] = uint8_t(n >> 16);
    container[3] = uint8_t(n >> 24);
    std::memcpy(container.data() + 4, stream.data(), stream.size());
    return container;
}
