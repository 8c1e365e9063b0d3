#pragma once
// btree.h: the B-tree shapes shared by the page trees (node and block B-trees) and the subnode trees:
// lookup by key, and in-order iteration over the leaf values. Children load lazily and are kept by their parent.
// Not thread-safe: loading a child fills a cache.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "pstcore/ndb/exceptions.h"

namespace pstcore {

template <typename K, typename V>
class btree_node {
public:
    virtual ~btree_node() = default;

    virtual V lookup(const K& key) const = 0;
    // The value for `key`, or nothing when the tree has none: for callers to whom absence is a normal answer.
    // Damage found on the way still throws.
    virtual std::optional<V> find(const K& key) const = 0;
    virtual const K& get_key(std::size_t pos) const = 0;
    virtual std::size_t num_values() const = 0;
    // 0 for a leaf; an inner node's children are one level lower.
    virtual unsigned get_level() const = 0;
    // How many tree nodes a full walk may visit before the tree must be damaged (children shared or looping).
    virtual std::uint64_t walk_budget() const = 0;

    // The position of `key` when present, else of the last key below it; -1 when every key is greater.
    int binary_search(const K& key) const {
        std::size_t start = 0;
        std::size_t end = num_values();
        std::size_t mid = end / 2;
        if (mid >= end) return -1;
        while (mid < end) {
            const K& here = get_key(mid);
            if (here < key)
                start = mid + 1;
            else if (here == key)
                return static_cast<int>(mid);
            else
                end = mid;
            mid = (start + end) / 2;
        }
        return static_cast<int>(mid) - 1;
    }
};

template <typename K, typename V>
class btree_node_leaf : public virtual btree_node<K, V> {
public:
    virtual const V& get_value(std::size_t pos) const = 0;

    V lookup(const K& key) const override {
        const int pos = this->binary_search(key);
        if (pos >= 0 && this->get_key(static_cast<std::size_t>(pos)) == key)
            return get_value(static_cast<std::size_t>(pos));
        throw key_not_found<K>(key);
    }
    std::optional<V> find(const K& key) const override {
        const int pos = this->binary_search(key);
        if (pos >= 0 && this->get_key(static_cast<std::size_t>(pos)) == key)
            return get_value(static_cast<std::size_t>(pos));
        return std::nullopt;
    }
};

template <typename K, typename V>
class btree_node_nonleaf : public virtual btree_node<K, V> {
public:
    // The child at `pos`, read on first use. Its level must be one below this node's.
    virtual std::shared_ptr<btree_node<K, V>> get_child(std::size_t pos) const = 0;

    V lookup(const K& key) const override {
        const int pos = this->binary_search(key);
        if (pos < 0) throw key_not_found<K>(key);
        return get_child(static_cast<std::size_t>(pos))->lookup(key);
    }
    std::optional<V> find(const K& key) const override {
        const int pos = this->binary_search(key);
        if (pos < 0) return std::nullopt;
        return get_child(static_cast<std::size_t>(pos))->find(key);
    }
};

// Walks every leaf value in ascending key order. Holds the path from the root to the current leaf.
// The walk is bounded by the tree's budget, so a damaged tree whose pages are shared ends with database_corrupt.
template <typename K, typename V>
class btree_iterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = V;
    using difference_type = std::ptrdiff_t;
    using pointer = const V*;
    using reference = const V&;

    btree_iterator() = default;  // the end
    explicit btree_iterator(std::shared_ptr<const btree_node<K, V>> root) {
        if (!root) return;
        m_budget = root->walk_budget();
        descend(std::move(root));
    }

    const V& operator*() const { return leaf()->get_value(m_stack.back().second); }
    const V* operator->() const { return &**this; }

    btree_iterator& operator++() {
        ++m_stack.back().second;
        settle();
        return *this;
    }
    btree_iterator operator++(int) {
        auto copy = *this;
        ++*this;
        return copy;
    }

    bool operator==(const btree_iterator& other) const {
        if (m_stack.empty() || other.m_stack.empty()) return m_stack.empty() == other.m_stack.empty();
        return m_stack.back() == other.m_stack.back();
    }

private:
    using node_ptr = std::shared_ptr<const btree_node<K, V>>;

    const btree_node_leaf<K, V>* leaf() const {
        return dynamic_cast<const btree_node_leaf<K, V>*>(m_stack.back().first.get());
    }

    void descend(node_ptr node) {
        if (m_budget == 0) throw database_corrupt("btree walk exceeds file");
        --m_budget;
        m_stack.emplace_back(std::move(node), 0);
        settle();
    }

    // Moves to the next existing value: climbs out of exhausted nodes and descends into the next child.
    void settle() {
        while (!m_stack.empty()) {
            auto& [node, pos] = m_stack.back();
            if (pos >= node->num_values()) {
                m_stack.pop_back();
                if (!m_stack.empty()) ++m_stack.back().second;
                continue;
            }
            if (node->get_level() == 0) return;
            auto inner = dynamic_cast<const btree_node_nonleaf<K, V>*>(node.get());
            if (!inner) throw database_corrupt("btree node kind mismatch");
            node_ptr child = inner->get_child(pos);
            if (m_budget == 0) throw database_corrupt("btree walk exceeds file");
            --m_budget;
            m_stack.emplace_back(std::move(child), 0);
        }
    }

    std::vector<std::pair<node_ptr, std::size_t>> m_stack;
    std::uint64_t m_budget = 0;
};

// A range over a tree's values, for range-for loops. Keeps the root alive.
template <typename K, typename V>
class btree_range {
public:
    explicit btree_range(std::shared_ptr<const btree_node<K, V>> root) : m_root(std::move(root)) {}
    btree_iterator<K, V> begin() const { return btree_iterator<K, V>(m_root); }
    btree_iterator<K, V> end() const { return {}; }

private:
    std::shared_ptr<const btree_node<K, V>> m_root;
};

}  // namespace pstcore
