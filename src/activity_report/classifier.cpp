#include "activity_report/classifier.h"

#include <algorithm>

namespace report {

namespace {

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

bool ProjectClassifier::settled(const Lookup& lookup) const {
    const std::size_t first = firstAllowed(rules_, lookup.allowed.data());
    if (first == rules_.rules.size()) {
        return true;
    }
    for (std::size_t k = 0; k < keys_.size(); ++k) {
        if ((lookup.done >> k & 1) == 0 && hasBit(keys_[k].names, first)) {
            return false;
        }
    }
    return true;
}

bool ProjectClassifier::matters(std::size_t k, const Lookup& lookup) const {
    for (std::size_t w = 0; w < words_; ++w) {
        if ((keys_[k].names[w] & lookup.allowed[w]) != 0) {
            return true;
        }
    }
    return false;
}

void ProjectClassifier::lookUp(std::size_t k, const logformat::LogEvent& event, Lookup& lookup) {
    Key& key = keys_[k];
    const std::string_view value = valueOf(event, key.index);
    const std::uint64_t hash = ValueMemo::hashOf(value);
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
        lookup.allowed[w] &= mask[w];
    }
    lookup.done |= 1u << k;
}

void ProjectClassifier::begin(Lookup& lookup) {
    lookup.allowed.assign(words_, ~std::uint64_t{0});
    lookup.done = 0;
    if (++sinceReorder_ == reorderEvery) {
        sinceReorder_ = 0;
        std::stable_sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) {
            return keys_[a].memo.size() < keys_[b].memo.size();
        });
    }
}

std::string_view ProjectClassifier::nameOf(const Lookup& lookup) const {
    const std::size_t rule = firstAllowed(rules_, lookup.allowed.data());
    return rule < rules_.rules.size() ? std::string_view(rules_.rules[rule].project)
                                      : uncategorised;
}

std::string_view ProjectClassifier::projectOf(const logformat::LogEvent& event, Lookup& lookup) {
    if (rules_.rules.empty()) {
        return uncategorised;
    }
    for (const std::size_t k : order_) {
        if (settled(lookup)) {
            break;
        }
        if ((lookup.done >> k & 1) == 0 && matters(k, lookup)) {
            lookUp(k, event, lookup);
        }
    }
    return nameOf(lookup);
}

std::string_view ProjectClassifier::projectOf(const logformat::LogEvent& event) {
    if (rules_.rules.empty()) {
        return uncategorised;
    }
    begin(now_);
    return projectOf(event, now_);
}

} // namespace report
