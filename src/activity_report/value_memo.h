// One field's distinct values, each with the rules it allows, so that each is matched
// against the rules once per run.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

namespace report {

// Open addressing over a power of two of slots; each entry's mask and bytes lie one
// after the other in blocks that never move, so that a lookup touches a slot and one
// entry rather than a chain of nodes and their separately allocated strings (a year's
// titles don't fit in the processor's cache), and growing copies no value.
class ValueMemo {
  public:
    explicit ValueMemo(std::size_t maskWords = 1) : maskWords_(maskWords) {}

    static std::uint64_t hashOf(std::string_view text);

    // The mask kept for TEXT (whose hash is HASH), or null when it has none. The
    // pointer holds until the memo next starts again.
    const std::uint64_t* find(std::string_view text, std::uint64_t hash) const;
    // Keeps MASK for TEXT, which the memo doesn't hold yet (unless TEXT is too long to
    // be worth keeping).
    void insert(std::string_view text, std::uint64_t hash, const std::uint64_t* mask);

    std::size_t size() const { return entries_; }

  private:
    struct Slot {
        std::uint64_t hash = 0; // whole, so that growing reads no entry
        std::uint32_t length = 0;
        std::uint32_t entryPlusOne = 0; // in words, across the blocks; 0: an empty slot
    };
    struct Free {
        void operator()(void* memory) const { std::free(memory); }
    };
    const std::uint64_t* entryAt(std::uint32_t entryPlusOne) const;
    bool holds(const Slot& slot, std::string_view text) const;
    void grow();
    void startAgain();

    std::size_t maskWords_;
    // Zeroed by the allocator: a large table's pages are only touched as slots fill.
    std::unique_ptr<Slot[], Free> slots_;
    std::size_t slotCount_ = 0;
    std::vector<std::unique_ptr<std::uint64_t[]>> blocks_; // per entry: its mask, then its bytes
    std::size_t blockUsed_ = 0;                            // words of the last block
    std::size_t entries_ = 0;
};

} // namespace report
