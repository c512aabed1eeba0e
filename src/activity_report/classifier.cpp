#include "activity_report/classifier.h"

#include <cstring>
#include <optional>

namespace report {

namespace {

// The cache's bounds: past them it starts again.
constexpr std::size_t cacheLimit = std::size_t{1} << 20;
constexpr std::size_t keyBytesLimit = std::size_t{256} << 20;

void appendField(std::string& key, std::string_view text) {
    const auto length = static_cast<std::uint32_t>(text.size());
    char bytes[sizeof length];
    std::memcpy(bytes, &length, sizeof length);
    key.append(bytes, sizeof bytes);
    key.append(text);
}

} // namespace

ProjectClassifier::ProjectClassifier(RuleSet rules) : rules_(std::move(rules)) {}

void ProjectClassifier::makeKey(const logformat::LogEvent& event) {
    key_.clear();
    for (std::size_t f = 0; f < ruleFieldCount; ++f) {
        if (!rules_.sets[f].compiled) {
            continue;
        }
        appendField(key_, ruleFieldText(event, static_cast<RuleField>(f)));
    }
    if (rules_.usesCategory) {
        char bytes[sizeof event.category];
        std::memcpy(bytes, &event.category, sizeof bytes);
        key_.append(bytes, sizeof bytes);
    }
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
        if (slot.used) {
            std::size_t at = static_cast<std::size_t>(slot.hash) & mask;
            while (slots_[at].used) {
                at = (at + 1) & mask;
            }
            slots_[at] = slot;
        }
    }
}

bool ProjectClassifier::holds(const Slot& slot) const {
    return slot.length == key_.size() &&
           std::string_view(keys_).substr(slot.offset, slot.length) == key_;
}

std::size_t ProjectClassifier::insert(std::uint64_t hash, std::uint32_t rule) {
    // Past the limits the cache starts again, so that a log of endless distinct titles
    // can't hold the report's memory.
    if (entries_ >= cacheLimit || keys_.size() + key_.size() > keyBytesLimit) {
        slots_.clear();
        keys_.clear();
        entries_ = 0;
    }
    if ((entries_ + 1) * 2 > slots_.size()) {
        grow();
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = static_cast<std::size_t>(hash) & mask;
    while (slots_[at].used) {
        at = (at + 1) & mask;
    }
    slots_[at] = Slot{hash, static_cast<std::uint32_t>(keys_.size()),
                      static_cast<std::uint32_t>(key_.size()), rule, true};
    keys_ += key_;
    ++entries_;
    return at;
}

std::string_view ProjectClassifier::projectOf(const logformat::LogEvent& event) {
    if (rules_.rules.empty()) {
        return uncategorised;
    }
    makeKey(event);
    // Consecutive events are often the same window in another state, or the same one
    // again after a moment elsewhere.
    if (haveLast_ && holds(slots_[lastSlot_])) {
        return nameOf(slots_[lastSlot_].rule);
    }
    const std::uint64_t hash = std::hash<std::string_view>{}(key_);
    std::optional<std::size_t> found;
    if (!slots_.empty()) {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = static_cast<std::size_t>(hash) & mask; slots_[at].used;
             at = (at + 1) & mask) {
            if (slots_[at].hash == hash && holds(slots_[at])) {
                found = at;
                break;
            }
        }
    }
    if (!found) {
        found = insert(hash, static_cast<std::uint32_t>(firstMatch(rules_, event)));
    }
    lastSlot_ = *found;
    haveLast_ = true;
    const std::uint32_t rule = slots_[*found].rule;
    return nameOf(rule);
}

} // namespace report
