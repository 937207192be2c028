#include "runtime/screen/picture_scaler.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vrel::screen {

namespace {

// Streaming stores need 16-byte alignment: the pixels before the first boundary are written
// plainly.
int PlainHead(const uint32_t* out, int count) {
    const auto misalignment = reinterpret_cast<uintptr_t>(out) % 16;
    const int head = misalignment == 0 ? 0 : static_cast<int>((16 - misalignment) / 4);
    return std::min(head, count);
}

// How far a scaled row's span stores may reach past its end.
constexpr size_t kOverhang = 8;

// Blends two whole rows with one weight: most of a frame's time when the factor is not whole.
void MixRows(const uint32_t* a, const uint32_t* b, uint32_t weight, uint32_t* out, int count) {
    int i = 0;
#if defined(__SSE2__)
    for (const int head = PlainHead(out, count); i < head; ++i) {
        out[i] = MixXrgb(a[i], b[i], weight);
    }
    // Four pixels at a time, each channel widened to 16 bits: 255 × 256 still fits.
    const __m128i zero = _mm_setzero_si128();
    const __m128i wb = _mm_set1_epi16(static_cast<int16_t>(weight));
    const __m128i wa = _mm_set1_epi16(static_cast<int16_t>(256 - weight));
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    for (; i + 4 <= count; i += 4) {
        const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        auto half = [&](__m128i la, __m128i lb) {
            const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(la, wa), _mm_mullo_epi16(lb, wb));
            return _mm_srli_epi16(sum, 8);
        };
        const __m128i low = half(_mm_unpacklo_epi8(pa, zero), _mm_unpacklo_epi8(pb, zero));
        const __m128i high = half(_mm_unpackhi_epi8(pa, zero), _mm_unpackhi_epi8(pb, zero));
        const __m128i mixed = _mm_and_si128(_mm_packus_epi16(low, high), colour);
        _mm_stream_si128(reinterpret_cast<__m128i*>(out + i), mixed);
    }
#endif
    for (; i < count; ++i) {
        out[i] = MixXrgb(a[i], b[i], weight);
    }
}

}  // namespace

uint32_t MixXrgb(uint32_t a, uint32_t b, uint32_t weight) {
    const uint32_t keep = 256 - weight;
    const uint32_t redBlue = ((a & 0xFF00FF) * keep + (b & 0xFF00FF) * weight) >> 8;
    const uint32_t green = ((a & 0x00FF00) * keep + (b & 0x00FF00) * weight) >> 8;
    return (redBlue & 0xFF00FF) | (green & 0x00FF00);
}

void CopyPictureRow(const uint32_t* in, uint32_t* out, int count) {
    int i = PlainHead(out, count);
    std::memcpy(out, in, static_cast<size_t>(i) * 4);
#if defined(__SSE2__)
    for (; i + 8 <= count; i += 8) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 4));
        _mm_stream_si128(reinterpret_cast<__m128i*>(out + i), p);
        _mm_stream_si128(reinterpret_cast<__m128i*>(out + i + 4), q);
    }
#endif
    std::memcpy(out + i, in + i, static_cast<size_t>(count - i) * 4);
}

void FinishPictureRows() {
#if defined(__SSE2__)
    _mm_sfence();  // the streamed rows are in memory before the window system is told
#endif
}

void PictureScaler::Fit(int sourceW, int sourceH, int pictureW, int pictureH) {
    sourceW_ = sourceW;
    columns_ = ScaleTaps(pictureW, sourceW);
    rows_ = ScaleTaps(pictureH, sourceH);
    if (!MakeSpans()) {
        spans_.clear();
    }
    for (std::vector<uint32_t>& spare : spare_) {
        // Spans write whole groups of four: room for the last group's overhang.
        spare.assign(static_cast<size_t>(pictureW) + kOverhang, 0);
    }
}

// Groups the columns by framebuffer pixel; false when they do not fall into copies followed
// by at most two blends towards the next pixel (shrinking, or a factor just above one).
bool PictureScaler::MakeSpans() {
    spans_.clear();
    for (const Tap& tap : columns_) {
        const bool copy = tap.weight == 0;
        if (spans_.empty() || spans_.back().source != tap.first) {
            if (!spans_.empty() && tap.first != spans_.back().source + 1) {
                return false;
            }
            spans_.push_back(Span{tap.first});
        }
        Span& span = spans_.back();
        if (copy && span.blends == 0) {
            ++span.copies;
            continue;
        }
        if (span.blends == 2 || tap.second != tap.first + 1) {
            return false;
        }
        for (int channel = 0; channel < 4; ++channel) {
            span.weights[span.blends * 4 + channel] = static_cast<uint16_t>(tap.weight);
        }
        ++span.blends;
    }
    return !spans_.empty();
}

void PictureScaler::ScaleRowBySpans(const uint32_t* in, uint32_t* out) const {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i whole = _mm_set1_epi16(256);
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    for (const Span& span : spans_) {
        const __m128i copies = _mm_set1_epi32(static_cast<int>(in[span.source]));
        for (int i = 0; i < span.copies; i += 4) {  // in fours: one store, no branch per pixel
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), copies);
        }
        out += span.copies;
        if (span.blends == 0) {
            continue;
        }
        // Both blends at once; a second one the span does not have is overwritten next.
        const __m128i next = _mm_set1_epi32(static_cast<int>(in[span.source + 1]));
        const __m128i a = _mm_unpacklo_epi8(copies, zero);
        const __m128i b = _mm_unpacklo_epi8(next, zero);
        const __m128i wb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(span.weights));
        const __m128i sum =
            _mm_add_epi16(_mm_mullo_epi16(a, _mm_sub_epi16(whole, wb)), _mm_mullo_epi16(b, wb));
        const __m128i mixed = _mm_packus_epi16(_mm_srli_epi16(sum, 8), zero);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_and_si128(mixed, colour));
        out += span.blends;
    }
#else
    ScaleRow(in, out);
#endif
}

void PictureScaler::ScaleRow(const uint32_t* in, uint32_t* out) const {
    const size_t count = columns_.size();
    for (size_t i = 0; i < count; ++i) {
        const Tap& tap = columns_[i];
        out[i] =
            tap.weight == 0 ? in[tap.first] : MixXrgb(in[tap.first], in[tap.second], tap.weight);
    }
}

// The framebuffer row `row` scaled across, in whichever spare does not hold `keep`.
const uint32_t* PictureScaler::ScaledRow(const uint32_t* source, int row, int keep) {
    const uint32_t* in = source + static_cast<size_t>(row) * sourceW_;
    for (int i = 0; i < 2; ++i) {
        if (spareFirst_[i] <= row && row <= spareLast_[i]) {
            return spare_[i].data();
        }
    }
    // A row like the one before it (a picture stretched into the framebuffer has them in
    // pairs) is already scaled: the comparison costs far less than the scaling.
    for (int i = 0; i < 2; ++i) {
        if (spareLast_[i] == row - 1 && std::memcmp(in - sourceW_, in, sourceW_ * 4u) == 0) {
            spareLast_[i] = row;
            return spare_[i].data();
        }
    }
    const int slot = spareFirst_[0] <= keep && keep <= spareLast_[0] ? 1 : 0;
    if (spans_.empty()) {
        ScaleRow(in, spare_[slot].data());
    } else {
        ScaleRowBySpans(in, spare_[slot].data());
    }
    spareFirst_[slot] = spareLast_[slot] = row;
    return spare_[slot].data();
}

void PictureScaler::Draw(const uint32_t* source, uint8_t* target, int targetPitch) {
    for (int i = 0; i < 2; ++i) {  // a new frame: nothing scaled yet
        spareFirst_[i] = spareLast_[i] = -2;
    }
    const int pictureW = static_cast<int>(columns_.size());
    for (const Tap& tap : rows_) {
        auto* out = reinterpret_cast<uint32_t*>(target);
        const uint32_t* first = ScaledRow(source, tap.first, tap.second);
        // Alike framebuffer rows share a spare: their blend is either of them.
        const uint32_t* second = tap.weight == 0 ? first : ScaledRow(source, tap.second, tap.first);
        if (second == first) {
            CopyPictureRow(first, out, pictureW);
        } else {
            MixRows(first, second, tap.weight, out, pictureW);
        }
        target += targetPitch;
    }
    FinishPictureRows();
}

}  // namespace vrel::screen
