#include "activity_report/classifier.h"

#include <algorithm>

namespace report {

namespace {

// A key whose memo holds no more values than this stays in the processor's cache: it is
// looked up at once, without a prefetch.
constexpr std::size_t nearValues = 1024;
// How many events between sorting the keys by their values.
constexpr std::size_t reorderEvery = 4096;

bool hasBit(const std::vector<std::uint64_t>& mask, std::size_t bit) {
    return (mask[bit / 64] >> (bit % 64) & 1) != 0;
}

} // namespace

ProjectClassifier::ProjectClassifier(RuleSet rules)
    : rules_(std::move(rules)), words_(ruleMaskWords(rules_)) {
    for (std::size_t index = 0; index < keyCount; ++index) {
        std::vector<std::uint64_t> names(words_, 0);
        for (std::size_t r = 0; r < rules_.rules.size(); ++r) {
            const Rule& rule = rules_.rules[r];
            if (index == ruleFieldCount ? rule.matchesCategory : rule.patterns[index].has_value()) {
                names[r / 64] |= std::uint64_t{1} << (r % 64);
            }
        }
        if (std::any_of(names.begin(), names.end(), [](std::uint64_t w) { return w != 0; })) {
            order_.push_back(keys_.size());
            keys_.push_back(Key{index, ValueMemo(words_), std::move(names)});
        }
    }
    fresh_.resize(words_);
}

std::string_view ProjectClassifier::valueOf(const logformat::LogEvent& event, std::size_t index) {
    if (index == ruleFieldCount) {
        // The category's bytes: a value like any other to the memo.
        return std::string_view(reinterpret_cast<const char*>(&event.category),
                                sizeof event.category);
    }
    return ruleFieldText(event, static_cast<RuleField>(index));
}

std::size_t ProjectClassifier::distinctValues() const {
    std::size_t values = 0;
    for (const Key& key : keys_) {
        values += key.memo.size();
    }
    return values;
}

bool ProjectClassifier::settled(const Ahead& ahead) const {
    const std::size_t first = firstAllowed(rules_, ahead.allowed.data());
    if (first == rules_.rules.size()) {
        return true;
    }
    for (std::size_t k = 0; k < keys_.size(); ++k) {
        if ((ahead.done >> k & 1) == 0 && hasBit(keys_[k].names, first)) {
            return false;
        }
    }
    return true;
}

bool ProjectClassifier::matters(std::size_t k, const Ahead& ahead) const {
    for (std::size_t w = 0; w < words_; ++w) {
        if ((keys_[k].names[w] & ahead.allowed[w]) != 0) {
            return true;
        }
    }
    return false;
}

void ProjectClassifier::lookUp(std::size_t k, const logformat::LogEvent& event, Ahead& ahead) {
    Key& key = keys_[k];
    const std::string_view value = valueOf(event, key.index);
    const std::uint64_t hash =
        (ahead.hashed >> k & 1) != 0 ? ahead.hashes[k] : ValueMemo::hashOf(value);
    const std::uint64_t* mask = key.memo.find(value, hash);
    if (mask == nullptr) {
        if (key.index == ruleFieldCount) {
            allowedByCategory(rules_, event.category, fresh_.data());
        } else {
            allowedByText(rules_, static_cast<RuleField>(key.index), value, fresh_.data(),
                          matched_);
        }
        key.memo.insert(value, hash, fresh_.data());
        mask = fresh_.data();
    }
    for (std::size_t w = 0; w < words_; ++w) {
        ahead.allowed[w] &= mask[w];
    }
    ahead.done |= 1u << k;
}

void ProjectClassifier::begin(Ahead& ahead) {
    ahead.allowed.assign(words_, ~std::uint64_t{0});
    ahead.done = 0;
    ahead.hashed = 0;
    if (++sinceReorder_ == reorderEvery) {
        sinceReorder_ = 0;
        std::stable_sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) {
            return keys_[a].memo.size() < keys_[b].memo.size();
        });
    }
}

std::string_view ProjectClassifier::nameOf(const Ahead& ahead) const {
    const std::size_t rule = firstAllowed(rules_, ahead.allowed.data());
    return rule < rules_.rules.size() ? std::string_view(rules_.rules[rule].project)
                                      : uncategorised;
}

void ProjectClassifier::prepare(const logformat::LogEvent& event, Ahead& ahead) {
    begin(ahead);
    // The keys with few values first, at once: they often settle the answer alone.
    for (const std::size_t k : order_) {
        if (settled(ahead)) {
            return;
        }
        if (keys_[k].memo.size() <= nearValues && matters(k, ahead)) {
            lookUp(k, event, ahead);
        }
    }
    // The others later, their memory asked for now.
    for (const std::size_t k : order_) {
        if ((ahead.done >> k & 1) != 0) {
            continue;
        }
        if (!matters(k, ahead)) {
            ahead.done |= 1u << k;
            continue;
        }
        ahead.hashes[k] = ValueMemo::hashOf(valueOf(event, keys_[k].index));
        ahead.hashed |= 1u << k;
        keys_[k].memo.prefetchSlot(ahead.hashes[k]);
    }
}

void ProjectClassifier::warm(const Ahead& ahead) const {
    for (std::size_t k = 0; k < keys_.size(); ++k) {
        if ((ahead.hashed >> k & 1) != 0 && (ahead.done >> k & 1) == 0) {
            keys_[k].memo.prefetchEntry(ahead.hashes[k]);
        }
    }
}

std::string_view ProjectClassifier::projectOf(const logformat::LogEvent& event, Ahead& ahead) {
    if (rules_.rules.empty()) {
        return uncategorised;
    }
    for (const std::size_t k : order_) {
        if (settled(ahead)) {
            break;
        }
        if ((ahead.done >> k & 1) == 0 && matters(k, ahead)) {
            lookUp(k, event, ahead);
        }
    }
    return nameOf(ahead);
}

std::string_view ProjectClassifier::projectOf(const logformat::LogEvent& event) {
    if (rules_.rules.empty()) {
        return uncategorised;
    }
    begin(now_);
    return projectOf(event, now_);
}

} // namespace report
