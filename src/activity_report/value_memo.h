// One field's distinct values, each with the rules it allows, so that each is matched
// against the rules once per run.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace report {

// Open addressing over a power of two of slots; each entry's mask and bytes lie one
// after the other in one array, so that a lookup touches a slot and one entry rather
// than a chain of nodes and their separately allocated strings: a year's titles don't
// fit in the processor's cache.
class ValueMemo {
  public:
    explicit ValueMemo(std::size_t maskWords = 1) : maskWords_(maskWords) {}

    static std::uint64_t hashOf(std::string_view text);

    // The mask kept for TEXT (whose hash is HASH), or null when it has none. The
    // pointer holds until the next insert.
    const std::uint64_t* find(std::string_view text, std::uint64_t hash) const;
    // Keeps MASK for TEXT, which the memo doesn't hold yet (unless TEXT is too long to
    // be worth keeping).
    void insert(std::string_view text, std::uint64_t hash, const std::uint64_t* mask);

    // Hints to start reading what a lookup of HASH reads: its slot, then (once the slot
    // has arrived) its entry.
    void prefetchSlot(std::uint64_t hash) const;
    void prefetchEntry(std::uint64_t hash) const;

    std::size_t size() const { return entries_; }

  private:
    struct Slot {
        std::uint32_t check = 0; // the hash's high half: most other values differ in it
        std::uint32_t length = 0;
        std::uint64_t entryPlusOne = 0; // into STORE_, in words; 0: an empty slot
    };
    bool holds(const Slot& slot, std::string_view text) const;
    void grow();

    std::size_t maskWords_;
    std::vector<Slot> slots_;
    std::vector<std::uint64_t> store_; // per entry: its mask, then its bytes
    std::size_t entries_ = 0;
};

} // namespace report
