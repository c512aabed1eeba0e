#include "activity_report/classifier.h"

#include <cstring>
#include <optional>

#if defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
#include <xmmintrin.h>
#endif

namespace report {

namespace {

// The cache's bounds: past them it starts again.
constexpr std::size_t cacheLimit = std::size_t{1} << 20;
constexpr std::size_t keyBytesLimit = std::size_t{256} << 20;

void putBytes(char*& at, const void* bytes, std::size_t size) {
    std::memcpy(at, bytes, size);
    at += size;
}

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

} // namespace

ProjectClassifier::ProjectClassifier(RuleSet rules) : rules_(std::move(rules)) {}

void ProjectClassifier::makeKey(const logformat::LogEvent& event, std::string& key) const {
    // Sized once and filled: this runs for every event read.
    std::size_t size = rules_.usesCategory ? sizeof event.category : 0;
    for (std::size_t f = 0; f < ruleFieldCount; ++f) {
        if (rules_.sets[f].compiled) {
            size += sizeof(std::uint32_t) + ruleFieldText(event, static_cast<RuleField>(f)).size();
        }
    }
    key.resize(size);
    char* at = key.data();
    for (std::size_t f = 0; f < ruleFieldCount; ++f) {
        if (!rules_.sets[f].compiled) {
            continue;
        }
        const std::string_view text = ruleFieldText(event, static_cast<RuleField>(f));
        const auto length = static_cast<std::uint32_t>(text.size());
        putBytes(at, &length, sizeof length);
        putBytes(at, text.data(), text.size());
    }
    if (rules_.usesCategory) {
        putBytes(at, &event.category, sizeof event.category);
    }
}

// Eight bytes at a time, each multiplied in, then mixed so that the low bits (the slot)
// and the high ones (the check) both depend on every byte.
std::uint64_t ProjectClassifier::hashOf(std::string_view key) {
    constexpr std::uint64_t multiplier = 0x9E3779B97F4A7C15u;
    std::uint64_t hash = key.size() * multiplier;
    std::size_t at = 0;
    for (; at + 8 <= key.size(); at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, key.data() + at, 8);
        hash = (hash ^ word) * multiplier;
        hash ^= hash >> 29;
    }
    if (at < key.size()) {
        std::uint64_t word = 0;
        std::memcpy(&word, key.data() + at, key.size() - at);
        hash = (hash ^ word) * multiplier;
    }
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDu;
    hash ^= hash >> 33;
    return hash;
}

std::string_view ProjectClassifier::nameOf(std::size_t rule) const {
    return rule < rules_.rules.size() ? std::string_view(rules_.rules[rule].project)
                                      : uncategorised;
}

void ProjectClassifier::grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.rulePlusOne != 0) {
            const std::uint64_t hash =
                hashOf(std::string_view(keys_).substr(slot.offset, slot.length));
            std::size_t at = static_cast<std::size_t>(hash) & mask;
            while (slots_[at].rulePlusOne != 0) {
                at = (at + 1) & mask;
            }
            slots_[at] = slot;
        }
    }
}

bool ProjectClassifier::holds(const Slot& slot, const std::string& key) const {
    return slot.length == key.size() &&
           std::memcmp(keys_.data() + slot.offset, key.data(), key.size()) == 0;
}

std::size_t ProjectClassifier::insert(std::uint64_t hash, std::uint32_t rule,
                                      const std::string& key) {
    // Past the limits the cache starts again, so that a log of endless distinct titles
    // can't hold the report's memory.
    if (entries_ >= cacheLimit || keys_.size() + key.size() > keyBytesLimit) {
        slots_.clear();
        keys_.clear();
        entries_ = 0;
    }
    if ((entries_ + 1) * 2 > slots_.size()) {
        grow();
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = static_cast<std::size_t>(hash) & mask;
    while (slots_[at].rulePlusOne != 0) {
        at = (at + 1) & mask;
    }
    slots_[at] = Slot{checkOf(hash), static_cast<std::uint32_t>(keys_.size()),
                      static_cast<std::uint32_t>(key.size()), rule + 1};
    keys_ += key;
    ++entries_;
    return at;
}

std::string_view ProjectClassifier::projectOf(const logformat::LogEvent& event) {
    if (rules_.rules.empty()) {
        return uncategorised;
    }
    makeKey(event, key_);
    // Consecutive events are often the same window in another state, or the same one
    // again after a moment elsewhere.
    if (haveLast_ && holds(slots_[lastSlot_], key_)) {
        return nameOf(slots_[lastSlot_].rulePlusOne - 1);
    }
    return lookUp(event, key_, hashOf(key_));
}

void ProjectClassifier::prepare(const logformat::LogEvent& event, Ahead& ahead) const {
    if (rules_.rules.empty()) {
        return;
    }
    makeKey(event, ahead.key);
    ahead.hash = hashOf(ahead.key);
    if (!slots_.empty()) {
        prefetch(&slots_[static_cast<std::size_t>(ahead.hash) & (slots_.size() - 1)]);
    }
}

void ProjectClassifier::warm(const Ahead& ahead) const {
    if (slots_.empty()) {
        return;
    }
    const Slot& slot = slots_[static_cast<std::size_t>(ahead.hash) & (slots_.size() - 1)];
    if (slot.rulePlusOne != 0 && slot.offset < keys_.size()) {
        prefetch(keys_.data() + slot.offset);
    }
}

std::string_view ProjectClassifier::projectOf(const logformat::LogEvent& event,
                                              const Ahead& ahead) {
    if (rules_.rules.empty()) {
        return uncategorised;
    }
    return lookUp(event, ahead.key, ahead.hash);
}

std::string_view ProjectClassifier::lookUp(const logformat::LogEvent& event, const std::string& key,
                                           std::uint64_t hash) {
    const std::uint32_t check = checkOf(hash);
    std::optional<std::size_t> found;
    if (!slots_.empty()) {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = static_cast<std::size_t>(hash) & mask; slots_[at].rulePlusOne != 0;
             at = (at + 1) & mask) {
            if (slots_[at].check == check && holds(slots_[at], key)) {
                found = at;
                break;
            }
        }
    }
    if (!found) {
        found = insert(hash, static_cast<std::uint32_t>(firstMatch(rules_, event)), key);
    }
    lastSlot_ = *found;
    haveLast_ = true;
    return nameOf(slots_[*found].rulePlusOne - 1);
}

} // namespace report
