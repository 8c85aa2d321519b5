#pragma once
// Circular doubly linked list with a sentinel head. A node and a head are the
// same two links (next, then previous), placed first in the record they link.

struct dlist {
    dlist *next;
    dlist *prev;
};

inline void dlist_init(dlist *head) { head->next = head->prev = head; }
inline bool dlist_is_empty(const dlist *head) { return head->next == head; }

inline void __dlist_insert_between(dlist *node, dlist *prev, dlist *next)
{
    node->next = next;
    node->prev = prev;
    prev->next = node;
    next->prev = node;
}

// The node goes right after the head.
inline void dlist_insert_front(dlist *node, dlist *head) { __dlist_insert_between(node, head, head->next); }
// The node goes right before the head (end of the list).
inline void dlist_insert_back(dlist *node, dlist *head) { __dlist_insert_between(node, head->prev, head); }

inline void dlist_unlink(dlist *node)
{
    node->prev->next = node->next;
    node->next->prev = node->prev;
    node->next = node->prev = nullptr;
}

// Moves every node of from, in order, to the front of to. from's head is left
// as it was and must be re-initialised by the caller.
inline void dlist_splice_front(dlist *from, dlist *to)
{
    if (dlist_is_empty(from)) return;
    dlist *first = from->next, *last = from->prev, *at = to->next;
    to->next = first;
    first->prev = to;
    last->next = at;
    at->prev = last;
}

// The record that holds the link as its first member.
template <typename T> inline T *dlist_entry(dlist *node) { return reinterpret_cast<T *>(node); }

#define dlist_for_each(pos, head) for (dlist *pos = (head)->next; pos != (head); pos = pos->next)
