#include "activity_report/value_memo.h"

#include <cstring>

#if defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
#include <xmmintrin.h>
#endif

namespace report {

namespace {

// The memo's bounds: past them it starts again, so that a log of endless distinct
// titles can't hold the report's memory.
constexpr std::size_t entryLimit = std::size_t{1} << 20;
// Up to six memos (five fields and the category) live at once: 64 MiB of values each
// holds a year's titles many times over.
constexpr std::size_t storeWordsLimit = (std::size_t{64} << 20) / 8;
// A longer value is matched each time it comes: kept, it would crowd out the others.
constexpr std::size_t valueBytesLimit = std::size_t{1} << 20;

// A hint to start reading AT into the processor's cache; where the compiler offers none,
// nothing.
void prefetch(const void* at) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(at);
#elif defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
    _mm_prefetch(static_cast<const char*>(at), _MM_HINT_T0);
#else
    (void)at;
#endif
}

std::uint32_t checkOf(std::uint64_t hash) {
    return static_cast<std::uint32_t>(hash >> 32);
}

std::size_t wordsFor(std::size_t bytes) {
    return (bytes + 7) / 8;
}

} // namespace

// Eight bytes at a time, each multiplied in, then mixed so that the low bits (the slot)
// and the high ones (the check) both depend on every byte. A long value (a title of a
// thousand characters) runs four such chains side by side, which the processor overlaps.
std::uint64_t ValueMemo::hashOf(std::string_view text) {
    constexpr std::uint64_t multiplier = 0x9E3779B97F4A7C15u;
    const auto word = [&](std::size_t at) {
        std::uint64_t w = 0;
        std::memcpy(&w, text.data() + at, 8);
        return w;
    };
    const auto step = [](std::uint64_t hash, std::uint64_t w) {
        hash = (hash ^ w) * multiplier;
        return hash ^ (hash >> 29);
    };
    std::uint64_t hash = text.size() * multiplier;
    std::size_t at = 0;
    if (text.size() >= 64) {
        std::uint64_t lanes[4] = {hash, hash + 1, hash + 2, hash + 3};
        for (; at + 32 <= text.size(); at += 32) {
            for (std::size_t lane = 0; lane < 4; ++lane) {
                lanes[lane] = step(lanes[lane], word(at + lane * 8));
            }
        }
        hash = step(step(step(lanes[0], lanes[1]), lanes[2]), lanes[3]);
    }
    for (; at + 8 <= text.size(); at += 8) {
        hash = step(hash, word(at));
    }
    if (at < text.size()) {
        std::uint64_t w = 0;
        std::memcpy(&w, text.data() + at, text.size() - at);
        hash = (hash ^ w) * multiplier;
    }
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDu;
    hash ^= hash >> 33;
    return hash;
}

bool ValueMemo::holds(const Slot& slot, std::string_view text) const {
    if (slot.length != text.size()) {
        return false;
    }
    const std::uint64_t* kept = store_.data() + slot.entryPlusOne - 1 + maskWords_;
    // Most values are short: compared a word at a time here rather than in a call.
    if (text.size() > 64) {
        return std::memcmp(kept, text.data(), text.size()) == 0;
    }
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t w = 0;
        std::memcpy(&w, text.data() + at, 8);
        if (w != kept[at / 8]) {
            return false;
        }
    }
    if (at == text.size()) {
        return true;
    }
    std::uint64_t w = 0, k = 0;
    std::memcpy(&w, text.data() + at, text.size() - at);
    std::memcpy(&k, kept + at / 8, text.size() - at);
    return w == k;
}

const std::uint64_t* ValueMemo::find(std::string_view text, std::uint64_t hash) const {
    if (slots_.empty()) {
        return nullptr;
    }
    const std::uint32_t check = checkOf(hash);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = static_cast<std::size_t>(hash) & mask; slots_[at].entryPlusOne != 0;
         at = (at + 1) & mask) {
        if (slots_[at].check == check && holds(slots_[at], text)) {
            return store_.data() + slots_[at].entryPlusOne - 1;
        }
    }
    return nullptr;
}

void ValueMemo::grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 256 : old.size() * 2, Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.entryPlusOne != 0) {
            const auto* bytes =
                reinterpret_cast<const char*>(store_.data() + slot.entryPlusOne - 1 + maskWords_);
            const std::uint64_t hash = hashOf(std::string_view(bytes, slot.length));
            std::size_t at = static_cast<std::size_t>(hash) & mask;
            while (slots_[at].entryPlusOne != 0) {
                at = (at + 1) & mask;
            }
            slots_[at] = slot;
        }
    }
}

void ValueMemo::insert(std::string_view text, std::uint64_t hash, const std::uint64_t* mask) {
    if (text.size() > valueBytesLimit) {
        return;
    }
    const std::size_t words = maskWords_ + wordsFor(text.size());
    if (entries_ >= entryLimit || store_.size() + words > storeWordsLimit) {
        slots_.clear();
        store_.clear();
        entries_ = 0;
    }
    if ((entries_ + 1) * 2 > slots_.size()) {
        grow();
    }
    const std::size_t slotMask = slots_.size() - 1;
    std::size_t at = static_cast<std::size_t>(hash) & slotMask;
    while (slots_[at].entryPlusOne != 0) {
        at = (at + 1) & slotMask;
    }
    const std::size_t entry = store_.size();
    store_.resize(entry + words);
    std::memcpy(store_.data() + entry, mask, maskWords_ * sizeof(std::uint64_t));
    if (!text.empty()) {
        std::memcpy(store_.data() + entry + maskWords_, text.data(), text.size());
    }
    slots_[at] = Slot{checkOf(hash), static_cast<std::uint32_t>(text.size()), entry + 1};
    ++entries_;
}

void ValueMemo::prefetchSlot(std::uint64_t hash) const {
    if (!slots_.empty()) {
        prefetch(&slots_[static_cast<std::size_t>(hash) & (slots_.size() - 1)]);
    }
}

void ValueMemo::prefetchEntry(std::uint64_t hash) const {
    if (slots_.empty()) {
        return;
    }
    const Slot& slot = slots_[static_cast<std::size_t>(hash) & (slots_.size() - 1)];
    if (slot.entryPlusOne != 0 && slot.entryPlusOne - 1 < store_.size()) {
        prefetch(store_.data() + slot.entryPlusOne - 1);
    }
}

} // namespace report
