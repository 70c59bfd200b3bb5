// A circular doubly linked list whose head moves to whatever a search found, so repeated lookups of
// the same key succeed at the first comparison. Nodes are allocated one by one and never move, so a
// node pointer stays valid until that node is unlinked. No locking here: the owner locks.
#pragma once

#include <cstdint>
#include <new>

template <typename T>
class CTRing {
public:
    struct Node {
        T data;
        Node* prev;
        Node* next;
    };

    CTRing() = default;
    CTRing(const CTRing&) = delete;
    CTRing& operator=(const CTRing&) = delete;
    virtual ~CTRing() { RemoveAll(); }

    // Links a copy of the payload at the tail position of the circle and makes it the head.
    // Returns null when the node cannot be allocated.
    virtual Node* Add(const T& payload) {
        Node* node = new (std::nothrow) Node{payload, nullptr, nullptr};
        if (!node) return nullptr;
        if (!head_) {
            node->prev = node->next = node;
            count_ = 1;
        } else {
            node->prev = head_->prev;
            node->next = head_;
            head_->prev->next = node;
            head_->prev = node;
            ++count_;
        }
        head_ = node;
        return node;
    }

    // Rotating search: on success the found node is the head. The end of the circle is recognised
    // by the key of the node that was before the head when the search began.
    template <typename Key, typename KeyOf>
    int Find(const Key& key, KeyOf keyOf) {
        if (!head_) return 0;
        const Key last = keyOf(head_->prev->data);
        if (keyOf(head_->data) == key) return 1;
        for (;;) {
            if (keyOf(head_->data) == last) return 0;
            head_ = head_->next;
            if (keyOf(head_->data) == key) return 1;
        }
    }

    // Whether any node has the key, without moving the head.
    template <typename Key, typename KeyOf>
    bool Contains(const Key& key, KeyOf keyOf) const {
        if (!head_) return false;
        const Node* n = head_;
        do {
            if (keyOf(n->data) == key) return true;
            n = n->next;
        } while (n != head_);
        return false;
    }

    int RemoveHead() { return Unlink(head_); }

    // Unlinks and frees the given node (which must be in this ring); the head moves on when it was
    // the head.
    int Unlink(Node* node) {
        if (!Detach(node)) return 0;
        delete node;
        return 1;
    }

    // Unlinks the given node (which must be in this ring) without freeing it: the caller owns it
    // from then on and frees it with delete.
    int Detach(Node* node) {
        if (!head_ || !node) return 0;
        if (node->next == node) {
            head_ = nullptr;
            count_ = 0;
        } else {
            node->prev->next = node->next;
            node->next->prev = node->prev;
            if (head_ == node) head_ = node->next;
            --count_;
        }
        node->prev = node->next = node;
        return 1;
    }

    void RemoveAll() {
        while (head_) RemoveHead();
    }

    Node* Head() const { return head_; }
    int32_t Count() const { return count_; }

private:
    Node* head_ = nullptr;
    int32_t count_ = 0;
};
