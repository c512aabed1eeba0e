#include "activity_report/value_memo.h"

#include <cstring>
#include <new>

namespace report {

namespace {

// The memo's bounds: past them it starts again, so that a log of endless distinct
// titles can't hold the report's memory.
constexpr std::size_t entryLimit = std::size_t{1} << 20;
// Values are kept in blocks of 2 MiB: one holds a value of the longest kept length.
constexpr std::size_t blockShift = 18;
constexpr std::size_t blockWords = std::size_t{1} << blockShift;
// Up to six memos (five fields and the category) live at once: 64 MiB of values each
// holds a year's titles many times over.
constexpr std::size_t blockLimit = (std::size_t{64} << 20) / (blockWords * 8);
// A longer value is matched each time it comes: kept, it would crowd out the others.
constexpr std::size_t valueBytesLimit = std::size_t{1} << 20;

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

const std::uint64_t* ValueMemo::entryAt(std::uint32_t entryPlusOne) const {
    const std::size_t at = entryPlusOne - 1;
    return blocks_[at >> blockShift].get() + (at & (blockWords - 1));
}

bool ValueMemo::holds(const Slot& slot, std::string_view text) const {
    if (slot.length != text.size()) {
        return false;
    }
    const std::uint64_t* kept = entryAt(slot.entryPlusOne) + maskWords_;
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
    if (slotCount_ == 0) {
        return nullptr;
    }
    const std::size_t mask = slotCount_ - 1;
    for (std::size_t at = static_cast<std::size_t>(hash) & mask; slots_[at].entryPlusOne != 0;
         at = (at + 1) & mask) {
        if (slots_[at].hash == hash && holds(slots_[at], text)) {
            return entryAt(slots_[at].entryPlusOne);
        }
    }
    return nullptr;
}

void ValueMemo::grow() {
    const std::size_t count = slotCount_ == 0 ? 256 : slotCount_ * 2;
    std::unique_ptr<Slot[], Free> grown(static_cast<Slot*>(std::calloc(count, sizeof(Slot))));
    if (!grown) {
        throw std::bad_alloc();
    }
    const std::size_t mask = count - 1;
    for (std::size_t old = 0; old < slotCount_; ++old) {
        const Slot& slot = slots_[old];
        if (slot.entryPlusOne != 0) {
            std::size_t at = static_cast<std::size_t>(slot.hash) & mask;
            while (grown[at].entryPlusOne != 0) {
                at = (at + 1) & mask;
            }
            grown[at] = slot;
        }
    }
    slots_ = std::move(grown);
    slotCount_ = count;
}

void ValueMemo::startAgain() {
    slots_.reset();
    slotCount_ = 0;
    blocks_.clear();
    blockUsed_ = 0;
    entries_ = 0;
}

void ValueMemo::insert(std::string_view text, std::uint64_t hash, const std::uint64_t* mask) {
    if (text.size() > valueBytesLimit) {
        return;
    }
    const std::size_t words = maskWords_ + wordsFor(text.size());
    const bool newBlock = blocks_.empty() || blockUsed_ + words > blockWords;
    if (entries_ >= entryLimit || (newBlock && blocks_.size() == blockLimit)) {
        startAgain();
    }
    if (blocks_.empty() || blockUsed_ + words > blockWords) {
        // Not zeroed: its pages are touched only as entries fill them.
        blocks_.push_back(std::make_unique_for_overwrite<std::uint64_t[]>(blockWords));
        blockUsed_ = 0;
    }
    // Linear probing stays short below seven tenths full.
    if ((entries_ + 1) * 10 > slotCount_ * 7) {
        grow();
    }
    const std::size_t slotMask = slotCount_ - 1;
    std::size_t at = static_cast<std::size_t>(hash) & slotMask;
    while (slots_[at].entryPlusOne != 0) {
        at = (at + 1) & slotMask;
    }
    const std::size_t entry = ((blocks_.size() - 1) << blockShift) + blockUsed_;
    std::uint64_t* kept = blocks_.back().get() + blockUsed_;
    blockUsed_ += words;
    std::memcpy(kept, mask, maskWords_ * sizeof(std::uint64_t));
    if (!text.empty()) {
        std::memcpy(kept + maskWords_, text.data(), text.size());
    }
    slots_[at] =
        Slot{hash, static_cast<std::uint32_t>(text.size()), static_cast<std::uint32_t>(entry + 1)};
    ++entries_;
}

} // namespace report
